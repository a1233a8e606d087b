#include "tests/support/command_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace wharfling::testing {

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

CommandResult RunCommand(const std::string& environment, const std::string& program,
                         const std::string& arguments, const std::string* input) {
  CommandResult result;
  char errPath[] = "/tmp/wharfling-stderr-XXXXXX";
  const int errFd = ::mkstemp(errPath);
  if (errFd < 0) return result;
  ::close(errFd);
  std::string command = environment + " " + program + " " + arguments + " 2>" + ShellQuote(errPath);
  command = input ? "printf %s " + ShellQuote(*input) + " | " + command : command + " </dev/null";
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::ifstream err(errPath, std::ios::binary);
  result.err.assign(std::istreambuf_iterator<char>(err), {});
  ::unlink(errPath);
  return result;
}

}  // namespace wharfling::testing
