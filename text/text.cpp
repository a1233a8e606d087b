#include "text/text.h"

#include <algorithm>
#include <cstdlib>

namespace wharfling {

std::size_t FindText(std::string_view haystack, std::string_view needle, std::size_t from) {
  // Walk character by character so that a match can only start on a character boundary.
  std::size_t pos = 0;
  while (pos < from && pos < haystack.size()) {
    pos += IsLeadByte(static_cast<unsigned char>(haystack[pos])) ? 2 : 1;
  }
  if (needle.empty()) return pos <= haystack.size() ? pos : std::string_view::npos;
  while (pos + needle.size() <= haystack.size()) {
    if (haystack.compare(pos, needle.size(), needle) == 0) return pos;
    pos += IsLeadByte(static_cast<unsigned char>(haystack[pos])) ? 2 : 1;
  }
  return std::string_view::npos;
}

Text LowerCaseText(std::string_view text) {
  Text out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto byte = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(byte)) {
      ++i;  // the trail byte belongs to the same character
    } else if (byte >= 'A' && byte <= 'Z') {
      out[i] = static_cast<char>(byte - 'A' + 'a');
    }
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && LowerCaseText(a) == LowerCaseText(b);
}

Text FormatThousands(long long value) {
  const unsigned long long magnitude =
      value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  const std::string digits = std::to_string(magnitude);
  Text out = value < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

Text FormatText(std::string_view format, std::initializer_list<std::string_view> args) {
  Text out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const auto byte = static_cast<unsigned char>(format[i]);
    if (IsLeadByte(byte) && i + 1 < format.size()) {
      out.append(format.substr(i, 2));
      ++i;
      continue;
    }
    if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 's' || format[i + 1] == 'd') &&
        next != args.end()) {
      out.append(*next++);
      ++i;
      continue;
    }
    out += format[i];
  }
  return out;
}

}  // namespace wharfling

namespace wharfling {

Text TruncateText(std::string_view text, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t width = IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > maxBytes) break;
    end += width;
  }
  return Text(text.substr(0, std::min(end, text.size())));
}

}  // namespace wharfling
