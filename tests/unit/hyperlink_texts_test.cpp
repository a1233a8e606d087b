// The hyperlink label's error texts and the browser command built from the registered HTML handler.

#include "platform/win32/hyperlink_texts.h"

#include <gtest/gtest.h>

namespace wharfling::win32 {
namespace {

TEST(HyperlinkTexts, ErrorMessages) {
  const struct {
    long long code;
    const char* description;
  } kCases[] = {
      {0, "The operating system is out\nof memory or resources."},
      {26, "A sharing violation occurred. "},
      {31, "There is no application associated\nwith the given filename extension."},
      {32, "The specified dynamic-link library was not found."},
      {42, "Unknown Error (42) occurred."},
      {-1, "Unknown Error (-1) occurred."},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(HyperlinkErrorMessage(c.code), std::string("Unable to open hyperlink:\n\n") + c.description)
        << c.code;
  }
}

TEST(HyperlinkTexts, BrowserCommandLine) {
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
