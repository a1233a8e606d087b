#pragma once
// Reading a password from standard input: from a pipe as the first line, from a terminal without
// echo.

#include <optional>
#include <string>

namespace wharfling::cli {

// One line without its line ending, or nothing at the end of input. On a terminal the prompt (if
// any) goes to stderr and the typed characters are not shown; the terminal is restored afterwards,
// also when the program is interrupted meanwhile.
std::optional<std::string> ReadSecretLine(const char* prompt);

}  // namespace wharfling::cli
