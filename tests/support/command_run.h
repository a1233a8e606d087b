#pragma once
// Runs a built program through the shell, as a user would, and collects what it printed.

#include <string>

namespace wharfling::testing {

struct CommandResult {
  int status = -1;  // the exit status, -1 when the program did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs "environment program arguments", with input on standard input when given (else none), and
// collects both outputs.
CommandResult RunCommand(const std::string& environment, const std::string& program,
                         const std::string& arguments, const std::string* input = nullptr);

// text as one single-quoted shell word.
std::string ShellQuote(const std::string& text);

}  // namespace wharfling::testing
