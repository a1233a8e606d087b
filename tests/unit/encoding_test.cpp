// The platform's UTF-8 to CP932 conversions: byte-keeping for credentials, best fit for names.

#include "platform/posix/encoding.h"

#include <gtest/gtest.h>

namespace wharfling::posix {
namespace {

TEST(Utf8ToCp932BestFit, ConvertsEachCharacterOnItsOwn) {
  const struct {
    const char* utf8;
    std::string cp932;
  } cases[] = {
      {"photo.jpg", "photo.jpg"},
      {"café.jpg", "cafe.jpg"},                // best fit drops the accent
      {"한국.jpg", "??.jpg"},                  // no Hangul in CP932
      {"写真😀.jpg", "\x8e\xca\x90\x5e?.jpg"},  // kanji kept, the emoji not
      {"ｱｯﾌﾟ", "\xb1\xaf\xcc\xdf"},            // half-width katakana: one byte each
      {"ソ\\", "\x83\x5c\\"},                  // a trail byte that looks like '\'
      {"Ål\xff.jpg", "Al?.jpg"},               // a byte that is not UTF-8
      {"\xe5\x86", "?"},                       // a sequence cut short
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp932BestFit(c.utf8), c.cp932) << c.utf8;
}

TEST(Utf8ToCp932, KeepsTheBytesOfWhatDoesNotConvert) {
  EXPECT_EQ(Utf8ToCp932("写真😀"), "\x8e\xca\x90\x5e\xf0\x9f\x98\x80");
}

TEST(Utf8ToCp932BestFit, PathsConvertTheSameWay) {
  const PosixTextCodec codec;
  EXPECT_EQ(codec.PathToText("/photos/café/한국.jpg"), "/photos/cafe/??.jpg");
}

TEST(Cp932ToUtf8, ShowsBytesThatDoNotConvertEscaped) {
  EXPECT_EQ(Cp932ToUtf8("\x8e\xca\x90\x5e"), "写真");
  EXPECT_EQ(Cp932ToUtf8("a\x81"), "a\\x81");
}

}  // namespace
}  // namespace wharfling::posix
