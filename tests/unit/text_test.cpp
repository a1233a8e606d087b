#include "text/text.h"

#include <gtest/gtest.h>

#include "platform/posix/encoding.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

using posix::Cp932ToUtf8;
using posix::Utf8ToCp932;

TEST(FormatThousands, GroupsDigitsByThree) {
  const struct {
    long long value;
    const char* expected;
  } cases[] = {{1234567, "1,234,567"},         {999, "999"}, {1000, "1,000"}, {0, "0"}, {-1000, "-1,000"},
               {4294967297LL, "4,294,967,297"}};
  for (const auto& c : cases) EXPECT_EQ(FormatThousands(c.value), c.expected) << c.value;
}

TEST(FindText, NeverMatchesOnATrailByte) {
  // "ソ" is 0x83 0x5C in CP932: its trail byte is a backslash.
  const Text text = Utf8ToCp932("ソ\\");
  ASSERT_EQ(text, "\x83\x5C\x5C");
  EXPECT_EQ(FindText(text, "\\"), 2u);
  EXPECT_EQ(FindText("abcabc", "c", 3), 5u);
  EXPECT_EQ(FindText("abc", "x"), std::string_view::npos);
}

TEST(LowerCaseText, KeepsDoubleByteCharactersWhole) {
  // "ア" is 0x83 0x41: its trail byte looks like 'A' and must not be lowered.
  const Text text = Utf8ToCp932("アB.JPG");
  EXPECT_EQ(LowerCaseText(text), Utf8ToCp932("アb.jpg"));
  EXPECT_TRUE(EqualsIgnoreCase("Error.ASP", "error.asp"));
  EXPECT_FALSE(EqualsIgnoreCase("/Error.ASP", "error.asp"));
}

TEST(FormatText, SubstitutesPlaceholdersInOrder) {
  EXPECT_EQ(Cp932ToUtf8(FormatText(texts::kTooManyFiles, {"3", "2"})),
            "一度にアップロードできる最大ファイル数を越えました[3]。アップロードできる最大数は[2]です");
  EXPECT_EQ(FormatText("100%", {}), "100%");
}

TEST(GeneratedTexts, AreCp932Bytes) {
  EXPECT_EQ(texts::kStatusSuccess, "\x90\xAC\x8C\xF7");  // 成功
  EXPECT_EQ(texts::kColumnFile, "\xCC\xA7\xB2\xD9");     // ﾌｧｲﾙ, half-width katakana
}

}  // namespace
}  // namespace wharfling
