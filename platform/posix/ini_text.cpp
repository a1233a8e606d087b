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
  // One character at a time; a byte that does not come back is escaped and the next one starts over,
  // as a lead byte followed by a byte that cannot trail it stands alone.
  std::string out;
  std::size_t at = 0;
  while (at < cp932.size()) {
    const auto byte = static_cast<unsigned char>(cp932[at]);
    const std::size_t length = (IsLeadByte(byte) && at + 1 < cp932.size()) ? 2 : 1;
    if (auto character = ExactUtf8(cp932.substr(at, length))) {
      out += EscapeIniValue(*character);
      at += length;
    } else {
      AppendByteEscape(out, byte);
      ++at;
    }
  }
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
