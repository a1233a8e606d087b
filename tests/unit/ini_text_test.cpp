#include "platform/posix/ini_text.h"

#include <gtest/gtest.h>

namespace wharfling::posix {
namespace {

using namespace std::string_literals;

// CP932 bytes and the value the settings file holds for them, worked out by hand from the code tables.
struct Case {
  std::string cp932;
  std::string value;
};

const Case kCases[] = {
    {"bob", "bob"},
    {"", ""},
    {"\x93\xFA\x96\x7B", "\xE6\x97\xA5\xE6\x9C\xAC"},          // 日本
    {"\x83\x5C", "\xE3\x82\xBD"},                              // ソ: its trail byte is not a backslash
    {"\xCB\xDF\xB0", "\xEF\xBE\x8B\xEF\xBE\x9F\xEF\xBD\xB0"},  // ﾋﾟｰ, half-width
    {"C:\\dir", "C:\\\\dir"},
    {"a\r\nb", "a\\r\\nb"},
    {" pad ", "\\x20pad\\x20"},
    {"\x80 a ", "\\x80 a\\x20"},
    {"nul\0"s, "nul\\x00"},
    {"\x80", "\\x80"},           // no character at all
    {"\x85\x40", "\\x85@"},      // lead byte of an empty row, then '@'
    {"ok\x82", "ok\\x82"},       // lead byte cut off at the end
    {"\xED\x40", "\\xED\\x40"},  // NEC copy of 纊: reads back as FA 5C
    {"\x87\x90"
     "x",
     "\\x87\\x90x"},  // NEC ≒: reads back as 81 E0
    {"\x93\xFA\x80\x96\x7B", "\xE6\x97\xA5\\x80\xE6\x9C\xAC"},
};

TEST(IniText, WritesCp932AsEscapedUtf8) {
  for (const auto& c : kCases) EXPECT_EQ(Cp932ToIniValue(c.cp932), c.value) << c.value;
}

TEST(IniText, ReadsEveryWrittenValueBackByteForByte) {
  for (const auto& c : kCases) EXPECT_EQ(IniValueToCp932(c.value), c.cp932) << c.value;
}

TEST(IniText, ReadsHandWrittenValues) {
  const Case cases[] = {
      {"C:\\Photos", "C:\\Photos"},                  // a backslash that starts no escape
      {"\x93\xFA\x96\x7B", "\\x93\\xFA\\x96\\x7B"},  // \xNN are CP932 bytes, never converted
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},      // no CP932 form: the bytes stay as they are
  };
  for (const auto& c : cases) EXPECT_EQ(IniValueToCp932(c.value), c.cp932) << c.value;
}

}  // namespace
}  // namespace wharfling::posix
