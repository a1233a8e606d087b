#include "platform/posix/ini_value.h"

#include <optional>

namespace wharfling::posix {
namespace {

// Length of the well-formed UTF-8 sequence starting at text[at] (no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the first continuation byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

std::optional<unsigned char> HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned char>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned char>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned char>(c - 'a' + 10);
  return std::nullopt;
}

void Append(std::vector<IniValuePiece>& pieces, bool fromByteEscapes, std::string_view bytes) {
  if (pieces.empty() || pieces.back().fromByteEscapes != fromByteEscapes) {
    pieces.push_back({std::string(), fromByteEscapes});
  }
  pieces.back().bytes += bytes;
}

}  // namespace

void AppendByteEscape(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

void AppendEscaped(std::string& out, std::string_view bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
      AppendByteEscape(out, byte);
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else if (const std::size_t length = Utf8SequenceLength(bytes, at); length > 0) {
      out += bytes.substr(at, length);
      at += length;
      continue;
    } else {
      AppendByteEscape(out, byte);
    }
    ++at;
  }
}

void EscapeOuterBlanks(std::string& escaped) {
  // An escape never ends in a blank, so raw blanks at either end are the value's own.
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t begin = 0;
  while (begin < escaped.size() && isBlank(escaped[begin])) ++begin;
  std::size_t end = escaped.size();
  while (end > begin && isBlank(escaped[end - 1])) --end;
  if (begin == 0 && end == escaped.size()) return;
  std::string out;
  for (std::size_t i = 0; i < begin; ++i) AppendByteEscape(out, static_cast<unsigned char>(escaped[i]));
  out.append(escaped, begin, end - begin);
  for (std::size_t i = end; i < escaped.size(); ++i)
    AppendByteEscape(out, static_cast<unsigned char>(escaped[i]));
  escaped = std::move(out);
}

std::string EscapeIniValue(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  AppendEscaped(out, bytes);
  EscapeOuterBlanks(out);
  return out;
}

std::vector<IniValuePiece> SplitIniValue(std::string_view escaped) {
  std::vector<IniValuePiece> pieces;
  std::size_t at = 0;
  while (at < escaped.size()) {
    const char c = escaped[at];
    if (c != '\\' || at + 1 == escaped.size()) {
      Append(pieces, false, escaped.substr(at, 1));
      ++at;
      continue;
    }
    const char next = escaped[at + 1];
    if (next == '\\' || next == 'n' || next == 'r') {
      Append(pieces, false, next == '\\' ? "\\" : next == 'n' ? "\n" : "\r");
      at += 2;
      continue;
    }
    if (next == 'x' && at + 4 <= escaped.size()) {
      const auto high = HexDigit(escaped[at + 2]);
      const auto low = HexDigit(escaped[at + 3]);
      if (high && low) {
        const char byte = static_cast<char>((*high << 4) | *low);
        Append(pieces, true, std::string_view(&byte, 1));
        at += 4;
        continue;
      }
    }
    Append(pieces, false, "\\");  // not an escape: the backslash stands for itself
    ++at;
  }
  return pieces;
}

std::string UnescapeIniValue(std::string_view escaped) {
  std::string out;
  for (const auto& piece : SplitIniValue(escaped)) out += piece.bytes;
  return out;
}

}  // namespace wharfling::posix
