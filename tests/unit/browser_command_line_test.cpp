// The command line that opens a link, built from the registered HTML handler.

#include "platform/win32/browser_command_line.h"

#include <gtest/gtest.h>

namespace wharfling::win32 {
namespace {

TEST(BrowserCommandLine, CutWhereThePlaceholderStartsThenTheAddress) {
  const struct {
    const char* command;
    const char* line;
  } kCases[] = {
      {"\"C:\\Browser\\browse.exe\" -nohome \"%1\"",
       "\"C:\\Browser\\browse.exe\" -nohome  http://m.example/"},
      {"browse.exe %1 -x", "browse.exe  http://m.example/"},
      {"browse.exe", "browse.exe http://m.example/"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(BrowserCommandLine(c.command, "http://m.example/"), c.line) << c.command;
}

}  // namespace
}  // namespace wharfling::win32
