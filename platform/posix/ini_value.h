#pragma once
// Escaping of INI values, so that any byte string fits on one line and reads back unchanged.
// "\\" is a backslash, "\n" and "\r" are line breaks, "\xNN" is the byte NN written in hex: used for
// bytes that are not valid UTF-8, for control bytes, and for blanks at either end of a value (the
// reader trims the blanks around "=", so "Name = value" written by hand means "value"). A backslash followed
// by anything else stands for itself, so hand-written values such as "C:\Photos" keep their meaning.

#include <string>
#include <string_view>
#include <vector>

namespace wharfling::posix {

// The escaped form of bytes: valid UTF-8 and inner blanks are kept, everything else that cannot stand
// on an INI line as itself is escaped.
std::string EscapeIniValue(std::string_view bytes);

// The two steps of EscapeIniValue, for callers that build a value piece by piece: escapes bytes onto
// out, then (once the value is whole) turns the blanks at its ends into escapes.
void AppendEscaped(std::string& out, std::string_view bytes);
void EscapeOuterBlanks(std::string& escaped);

// Writes one byte as "\xNN" (upper-case hex).
void AppendByteEscape(std::string& out, unsigned char byte);

// A run of an unescaped value: either text (literal bytes and the \\, \n, \r escapes undone) or bytes
// that the file held as \xNN escapes. Callers that convert encodings convert only the text runs.
struct IniValuePiece {
  std::string bytes;
  bool fromByteEscapes = false;
};

// The pieces of an escaped value, in order; adjacent pieces of the same kind are joined.
std::vector<IniValuePiece> SplitIniValue(std::string_view escaped);

// The bytes an escaped value stands for.
std::string UnescapeIniValue(std::string_view escaped);

}  // namespace wharfling::posix
