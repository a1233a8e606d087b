// File names from uploaders: base name of a CP932 path, the stored name, numbered names.

#include <gtest/gtest.h>

#include <string>

#include "server/library/client_file_name.h"

namespace wharfling::server {
namespace {

struct BaseNameCase {
  std::string path;
  std::string base;
};

class ClientBaseNameTest : public ::testing::TestWithParam<BaseNameCase> {};

TEST_P(ClientBaseNameTest, TakesThePartAfterTheLastSeparator) {
  EXPECT_EQ(ClientBaseName(GetParam().path), GetParam().base);
}

// "\x95\x5C" is 表 and "\x83\x5C" is ソ in CP932: their trail byte is the code of '\'.
INSTANTIATE_TEST_SUITE_P(
    Paths, ClientBaseNameTest,
    ::testing::Values(BaseNameCase{"/home/u/p/photo.jpg", "photo.jpg"},
                      BaseNameCase{"C:\\Users\\u\\photo.jpg", "photo.jpg"},
                      BaseNameCase{"C:photo.jpg", "photo.jpg"}, BaseNameCase{"photo.jpg", "photo.jpg"},
                      BaseNameCase{"C:\\a/b\\c/mixed.jpg", "mixed.jpg"},
                      BaseNameCase{"C:\\\x8e\xca\x90\x5e\\\x95\x5c.jpg", "\x95\x5c.jpg"},
                      BaseNameCase{"C:\\\x83\x5c\x83\x74\x83\x67\\a.jpg", "a.jpg"},
                      BaseNameCase{"\x83\x5c.jpg", "\x83\x5c.jpg"}, BaseNameCase{"C:\\dir\\", ""},
                      BaseNameCase{"../../etc/passwd", "passwd"},
                      BaseNameCase{"..\\..\\evil.jpg", "evil.jpg"}, BaseNameCase{"/a/..", ".."}));

struct StoredNameCase {
  std::string path;
  std::string stored;  // UTF-8
  NameProblem problem;
};

class StoredNameTest : public ::testing::TestWithParam<StoredNameCase> {};

TEST_P(StoredNameTest, ConvertsOrRefuses) {
  const StoredName name = StoredNameFor(GetParam().path);
  EXPECT_EQ(name.problem, GetParam().problem);
  EXPECT_EQ(name.utf8, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Names, StoredNameTest,
    ::testing::Values(StoredNameCase{"C:\\Users\\u\\photo.jpg", "photo.jpg", NameProblem::kNone},
                      // 表.jpg: CP932 95 5C becomes UTF-8 E8 A1 A8.
                      StoredNameCase{"C:\\\x95\x5c.jpg", "\xe8\xa1\xa8.jpg", NameProblem::kNone},
                      // Half-width katakana ｱ (A1) becomes EF BD B1.
                      StoredNameCase{"/p/\xb1.jpg", "\xef\xbd\xb1.jpg", NameProblem::kNone},
                      // A lead byte with nothing after it does not convert and becomes '_'.
                      StoredNameCase{"/p/a\x95", "a_", NameProblem::kNone},
                      StoredNameCase{"/p/..", "", NameProblem::kBad},
                      StoredNameCase{"/p/.", "", NameProblem::kBad},
                      StoredNameCase{"C:\\x\\..", "", NameProblem::kBad},
                      StoredNameCase{"/p/.hidden", "", NameProblem::kBad},
                      StoredNameCase{"/p/", "", NameProblem::kBad}, StoredNameCase{"", "", NameProblem::kBad},
                      StoredNameCase{"/p/a\x01"
                                     "b.jpg",
                                     "", NameProblem::kBad},
                      StoredNameCase{"/p/a\x7f"
                                     "b.jpg",
                                     "", NameProblem::kBad},
                      StoredNameCase{"/p/a\tb.jpg", "", NameProblem::kBad},
                      StoredNameCase{"/p/" + std::string(196, 'a') + ".jpg", std::string(196, 'a') + ".jpg",
                                     NameProblem::kNone},
                      StoredNameCase{"/p/" + std::string(197, 'a') + ".jpg", "", NameProblem::kTooLong},
                      // 67 x 表 is 134 CP932 bytes but 201 UTF-8 bytes.
                      StoredNameCase{[] {
                                       std::string name;
                                       for (int i = 0; i < 67; ++i) name += "\x95\x5c";
                                       return name;
                                     }(),
                                     "", NameProblem::kTooLong},
                      StoredNameCase{std::string(5000, 'x'), "", NameProblem::kTooLong}));

TEST(NumberedNameTest, PutsTheNumberBeforeTheExtension) {
  EXPECT_EQ(NumberedName("photo.jpg", 2), "photo (2).jpg");
  EXPECT_EQ(NumberedName("archive.tar.gz", 3), "archive.tar (3).gz");
  EXPECT_EQ(NumberedName("README", 2), "README (2)");
  EXPECT_EQ(NumberedName("photo.jpg", 10000), "photo (10000).jpg");
}

}  // namespace
}  // namespace wharfling::server
