#include "server/engine/form_decoding.h"

#include "text/text.h"

namespace wharfling::server {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string DecodeFormText(std::string_view encoded) {
  std::string out;
  out.reserve(encoded.size());
  for (std::size_t at = 0; at < encoded.size(); ++at) {
    const char c = encoded[at];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && at + 2 < encoded.size() && HexDigitValue(encoded[at + 1]) >= 0 &&
               HexDigitValue(encoded[at + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(encoded[at + 1]) * 16 + HexDigitValue(encoded[at + 2]));
      at += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> FindFormField(std::string_view body, std::string_view name) {
  while (!body.empty()) {
    const std::size_t amp = body.find('&');
    const std::string_view field = body.substr(0, amp);
    body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
    const std::size_t eq = field.find('=');
    if (DecodeFormText(field.substr(0, eq)) != name) continue;
    return eq == std::string_view::npos ? std::string() : DecodeFormText(field.substr(eq + 1));
  }
  return std::nullopt;
}

std::optional<std::string_view> FindCookie(std::string_view cookieHeader, std::string_view name) {
  while (!cookieHeader.empty()) {
    const std::size_t semi = cookieHeader.find(';');
    const std::string_view pair = cookieHeader.substr(0, semi);
    cookieHeader = semi == std::string_view::npos ? std::string_view() : cookieHeader.substr(semi + 1);
    const std::size_t eq = pair.find('=');
    if (eq == std::string_view::npos || Trim(pair.substr(0, eq)) != name) continue;
    return Trim(pair.substr(eq + 1));
  }
  return std::nullopt;
}

}  // namespace wharfling::server
