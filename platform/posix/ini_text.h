#pragma once
// The settings file holds texts in UTF-8; the core's texts are CP932. These two convert between the
// two so that every CP932 byte string comes back byte for byte: a byte that does not convert, or
// whose character would come back as different bytes (CP932 has duplicate codes, such as the NEC and
// IBM copies of some kanji), is written as a \xNN escape and read back as that very byte.

#include <string>
#include <string_view>

#include "text/text.h"

namespace wharfling::posix {

// The escaped UTF-8 value that stands for the CP932 text.
std::string Cp932ToIniValue(std::string_view cp932);

// The CP932 text an escaped value stands for: text runs are converted from UTF-8 (a character CP932
// lacks keeps its UTF-8 bytes), \xNN escapes are taken as CP932 bytes.
Text IniValueToCp932(std::string_view escaped);

}  // namespace wharfling::posix
