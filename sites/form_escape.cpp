#include "sites/form_escape.h"

namespace wharfling {
namespace {

void AppendEscaped(Text& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

bool NeedsFormEscape(unsigned char byte) {
  switch (byte) {
    case '%':
    case '&':
    case '+':
    case '=':
    case ';':
    case '#':
    case ' ':
      return true;
    default:
      return byte < 0x20 || byte == 0x7F;
  }
}

}  // namespace

Text FormEscape(std::string_view value) {
  Text out;
  out.reserve(value.size());
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsFormEscape(byte)) {
      AppendEscaped(out, byte);
    } else {
      out += c;
    }
  }
  return out;
}

Text QueryEscape(std::string_view value) {
  Text out;
  for (const char c : FormEscape(value)) {
    if (c == '%') {
      out += "%25";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace wharfling
