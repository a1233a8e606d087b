#include "platform/posix/ini_text.h"

#include <optional>

#include "platform/posix/encoding.h"
#include "platform/posix/ini_value.h"

namespace wharfling::posix {
namespace {

// The UTF-8 form of cp932 when it converts and converts back to exactly the same bytes.
std::optional<std::string> ExactUtf8(std::string_view cp932) {
  auto utf8 = ConvertEncoding(cp932, "CP932", "UTF-8");
  if (!utf8) return std::nullopt;
  const auto back = ConvertEncoding(*utf8, "UTF-8", "CP932");
  if (!back || *back != cp932) return std::nullopt;
  return utf8;
}

}  // namespace

std::string Cp932ToIniValue(std::string_view cp932) {
  if (auto whole = ExactUtf8(cp932)) return EscapeIniValue(*whole);
  std::string out;
  std::size_t at = 0;
  while (at < cp932.size()) {
    const auto byte = static_cast<unsigned char>(cp932[at]);
    const std::size_t length = (IsLeadByte(byte) && at + 1 < cp932.size()) ? 2 : 1;
    const std::string_view character = cp932.substr(at, length);
    if (auto utf8 = ExactUtf8(character)) {
      AppendEscaped(out, *utf8);
      at += length;
    } else if (ConvertEncoding(character, "CP932", "UTF-8")) {
      // A duplicate code: a character, but not these bytes once read back. Both bytes are escaped.
      for (const char c : character) AppendByteEscape(out, static_cast<unsigned char>(c));
      at += length;
    } else {
      // Not a character: the byte stands alone and the next one may start a character of its own.
      AppendByteEscape(out, byte);
      ++at;
    }
  }
  EscapeOuterBlanks(out);
  return out;
}

Text IniValueToCp932(std::string_view escaped) {
  Text out;
  for (const auto& piece : SplitIniValue(escaped)) {
    out += piece.fromByteEscapes ? piece.bytes : Utf8ToCp932(piece.bytes);
  }
  return out;
}

}  // namespace wharfling::posix
