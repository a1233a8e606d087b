#pragma once
// The core's text model: every text is a byte string in the system code page (CP932).

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace wharfling {

using Text = std::string;

// True for the first byte of a CP932 double-byte character.
constexpr bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Position of the first occurrence of needle in haystack at or after from that does not begin
// on the trailing byte of a double-byte character, or npos.
std::size_t FindText(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// The value of a hexadecimal digit, or -1.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// text with every byte for which escape(byte) holds written as %XX (upper-case hex).
template <typename Predicate>
Text PercentEncode(std::string_view text, Predicate escape) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  Text out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (escape(byte)) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

// Lower-cases ASCII letters only; the bytes of a double-byte character are never changed.
Text LowerCaseText(std::string_view text);

// Whole-text comparison that ignores the case of ASCII letters, double-byte aware.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Formats value with a comma after every third digit from the right, minus sign in front.
Text FormatThousands(long long value);

// Substitutes the %s and %d placeholders of format, in order, with the given texts.
// Numbers are passed already formatted (std::to_string), so no width can overflow.
Text FormatText(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace wharfling

namespace wharfling {

// The longest prefix of text of at most maxBytes bytes that does not split a double-byte character.
Text TruncateText(std::string_view text, std::size_t maxBytes);

}  // namespace wharfling
