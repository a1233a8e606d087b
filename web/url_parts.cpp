#include "web/url_parts.h"

#include <charconv>

namespace wharfling {
namespace {

bool Fits(std::string_view part, std::size_t capacity) { return part.size() < capacity; }

std::optional<std::uint16_t> ParsePort(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value == 0 || value > 65535) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<UrlParts> SplitUrl(std::string_view url) {
  const std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos || !Fits(url.substr(0, schemeEnd), kUrlSchemeCapacity)) {
    return std::nullopt;
  }
  UrlParts parts;
  parts.scheme = LowerCaseText(url.substr(0, schemeEnd));
  std::uint16_t defaultPort = 0;
  if (parts.scheme == "http") {
    defaultPort = 80;
  } else if (parts.scheme == "https") {
    defaultPort = 443;
  } else {
    return std::nullopt;
  }

  std::string_view rest = url.substr(schemeEnd + 3);
  const std::size_t authorityEnd = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, authorityEnd);
  rest = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view userInfo = authority.substr(0, at);
    const std::size_t colon = userInfo.find(':');
    const std::string_view user = userInfo.substr(0, colon);
    const std::string_view password = colon == std::string_view::npos ? "" : userInfo.substr(colon + 1);
    if (!Fits(user, kUrlUserCapacity) || !Fits(password, kUrlPasswordCapacity)) return std::nullopt;
    authority.remove_prefix(at + 1);
  }

  std::string_view host = authority;
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(1, close - 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      port = after.substr(1);
    }
  } else if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (host.empty() || !Fits(host, kUrlHostCapacity)) return std::nullopt;
  parts.host = Text(host);
  parts.port = defaultPort;
  if (!port.empty()) {
    const auto number = ParsePort(port);
    if (!number) return std::nullopt;
    parts.port = *number;
  }

  rest = rest.substr(0, rest.find('#'));
  const std::size_t queryStart = rest.find('?');
  const std::string_view path = rest.substr(0, queryStart);
  const std::string_view extra = queryStart == std::string_view::npos ? "" : rest.substr(queryStart);
  if (!Fits(path, kUrlPathCapacity) || !Fits(extra, kUrlExtraCapacity)) return std::nullopt;
  parts.path = path.empty() ? Text("/") : PercentDecode(path);
  parts.extra = PercentDecode(extra);
  return parts;
}

Text PercentDecode(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
        HexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string EscapeRequestTarget(std::string_view target) {
  return PercentEncode(target, [](unsigned char byte) { return byte <= 0x20 || byte == 0x7F; });
}

}  // namespace wharfling
