#pragma once
// Conversions between the display encoding (UTF-8) and the core's CP932 texts, through iconv.

#include <optional>
#include <string>
#include <string_view>

#include "text/text_codec.h"

namespace wharfling::posix {

// The whole input converted, or nothing when any byte does not convert.
std::optional<std::string> ConvertEncoding(std::string_view input, const char* from, const char* to);

// UTF-8 to CP932; bytes that do not convert are kept as they are, so that typed credentials and
// settings keep every byte.
Text Utf8ToCp932(std::string_view utf8);

// UTF-8 to CP932 character by character, with a best fit: a character CP932 holds stays, one it
// cannot hold becomes its closest equivalent where there is one ("é" -> "e") and "?" otherwise; a
// byte that is not UTF-8 becomes "?" as well. Never passes raw UTF-8 on: for names, which every
// front end shows and sends alike.
Text Utf8ToCp932BestFit(std::string_view utf8);

// CP932 to UTF-8 for display; a byte that does not convert is shown as \xNN.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 text made safe to print on a terminal: every control character (C0, DEL, and C1 as UTF-8
// encodes it) is written as \u00XX, as JSON writes it, so that a file name or a page's text cannot
// move the cursor, retitle the window or ring the bell. keepLineBreaks lets '\n' through.
std::string EscapeControls(std::string_view utf8, bool keepLineBreaks = false);

// Linux paths are UTF-8 bytes: the text of a path is its CP932 form, converted as Utf8ToCp932BestFit does.
// The file itself is still opened by its real path.
class PosixTextCodec final : public TextCodec {
 public:
  Text PathToText(std::string_view nativePath) const override;
};

}  // namespace wharfling::posix
