#include "sites/form_escape.h"

namespace wharfling {
namespace {

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

Text FormEscape(std::string_view value) { return PercentEncode(value, NeedsFormEscape); }

Text QueryEscape(std::string_view value) {
  return PercentEncode(FormEscape(value), [](unsigned char byte) { return byte == '%'; });
}

}  // namespace wharfling
