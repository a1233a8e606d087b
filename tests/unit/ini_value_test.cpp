#include "platform/posix/ini_value.h"

#include <gtest/gtest.h>

namespace wharfling::posix {
namespace {

using namespace std::string_literals;

TEST(EscapeIniValue, KeepsUtf8AndEscapesWhatCannotStandOnALine) {
  const struct {
    std::string bytes;
    std::string escaped;
  } cases[] = {
      {"plain value", "plain value"},
      {"C:\\dir\\", "C:\\\\dir\\\\"},
      {"line1\r\nline2\n", "line1\\r\\nline2\\n"},
      {"tab\there", "tab\there"},
      {" lead", "\\x20lead"},  // blanks at the ends would be trimmed as layout
      {"trail\t", "trail\\x09"},
      {"  ", "\\x20\\x20"},
      {" in ner ", "\\x20in ner\\x20"},
      {"nul\0end"s, "nul\\x00end"},
      {"\x01\x1F\x7F", "\\x01\\x1F\\x7F"},
      {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},  // two kanji in UTF-8
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                  // four-byte sequence
      {"\x93\xFA", "\\x93\\xFA"},                                // CP932 bytes are not UTF-8
      {"\xE6\x97", "\\xE6\\x97"},                                // cut-off sequence
      {"\xC0\xAF", "\\xC0\\xAF"},                                // overlong '/'
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},                       // surrogate
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},              // above U+10FFFF
      {"a\xFF"
       "b",
       "a\\xFFb"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeIniValue(c.bytes), c.escaped) << c.escaped;
    EXPECT_EQ(UnescapeIniValue(c.escaped), c.bytes) << c.escaped;
  }
}

TEST(UnescapeIniValue, LeavesABackslashThatStartsNoEscapeAlone) {
  const struct {
    std::string escaped;
    std::string bytes;
  } cases[] = {
      {"C:\\Photos\\2024", "C:\\Photos\\2024"},
      {"trailing\\", "trailing\\"},
      {"\\x4", "\\x4"},
      {"\\xG0", "\\xG0"},
      {"\\x4a\\x4A", "JJ"},
      {"\\\\n", "\\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(UnescapeIniValue(c.escaped), c.bytes) << c.escaped;
}

TEST(SplitIniValue, SeparatesByteEscapesFromText) {
  const auto pieces = SplitIniValue("ab\\\\\\x85\\x40cd\\n\\xFF");
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[0].bytes, "ab\\");
  EXPECT_FALSE(pieces[0].fromByteEscapes);
  EXPECT_EQ(pieces[1].bytes, "\x85\x40");
  EXPECT_TRUE(pieces[1].fromByteEscapes);
  EXPECT_EQ(pieces[2].bytes, "cd\n");
  EXPECT_FALSE(pieces[2].fromByteEscapes);
  EXPECT_EQ(pieces[3].bytes, "\xFF");
  EXPECT_TRUE(pieces[3].fromByteEscapes);
}

}  // namespace
}  // namespace wharfling::posix
