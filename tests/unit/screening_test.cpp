#include "session/screening.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/posix/encoding.h"
#include "session/file_bytes.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"
#include "ui/controls.h"
#include "ui/screening_view.h"

namespace wharfling {
namespace {

using posix::Cp932ToUtf8;
using testing::RecordingView;
using testing::TempDir;
using Lines = std::vector<std::string>;

struct Screened {
  RecordingView view;
  FileList fileList{view};
  ScreeningResult result;
  std::vector<std::string> messages;  // UTF-8
  std::string title;                  // UTF-8

  std::vector<std::string> Row(std::size_t row) const {
    std::vector<std::string> cells;
    for (const auto& cell : view.rows().at(row)) cells.push_back(Cp932ToUtf8(cell));
    return cells;
  }
  bool ButtonVisible() const { return view.control(control::kDestination).visible; }
  bool ButtonEnabled() const { return view.control(control::kDestination).enabled; }
};

DialogSettings Settings(int site, std::uint32_t maxFileSize, const char* id = "me",
                        const char* password = "pw") {
  DialogSettings settings;
  settings.siteIndex = site;
  settings.account.maxFileSize = maxFileSize;
  settings.account.id = id;
  settings.account.password = password;
  return settings;
}

std::unique_ptr<Screened> Screen(const std::vector<std::string>& paths, const DialogSettings& settings) {
  auto screened = std::make_unique<Screened>();
  posix::PosixTextCodec codec;
  screened->result = ScreenDroppedFiles(paths, settings, codec);
  ShowScreening(screened->result, settings, screened->fileList, screened->view);
  for (const auto& message : screened->view.messages) screened->messages.push_back(Cp932ToUtf8(message));
  screened->title = Cp932ToUtf8(screened->view.title());
  return screened;
}

class Screening : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(Screening, OneFolderOnly) {
  std::filesystem::create_directory(dir.path() / "photos");
  const auto s = Screen({(dir.path() / "photos").string()}, Settings(1, 2000000));
  EXPECT_TRUE(s->view.rows().empty());
  EXPECT_EQ(s->title, "ｱｯﾌﾟﾛｰﾀﾞ:選択ﾌｧｲﾙ数[0]:総ﾌｧｲﾙｻｲｽﾞ[0]");
  EXPECT_FALSE(s->ButtonVisible());
  EXPECT_FALSE(s->ButtonEnabled());
  EXPECT_TRUE(s->messages.empty());
  EXPECT_TRUE(s->result.blocked);
}

TEST_F(Screening, TwoGoodFilesAndOneOversize) {
  const auto a = dir.WriteFile("b.jpg", std::string(1000, 'x'));
  const auto b = dir.WriteFile("a.jpg", std::string(234567, 'x'));
  const auto big = dir.WriteFile("big.jpg", std::string(2000001, 'x'));
  const auto s = Screen({a, big, b}, Settings(1, 2000000));
  ASSERT_EQ(s->view.rows().size(), 2u);
  EXPECT_EQ(s->Row(0), (Lines{"a.jpg", "234567", "--"}));
  EXPECT_EQ(s->Row(1), (Lines{"b.jpg", "1000", "--"}));
  EXPECT_EQ(s->title, "ｱｯﾌﾟﾛｰﾀﾞ:選択ﾌｧｲﾙ数[2]:総ﾌｧｲﾙｻｲｽﾞ[235,567]");
  EXPECT_EQ(s->messages, Lines{"ﾌｧｲﾙｻｲｽﾞが、2000000[Byte]を越えるもの[2000001]"
                               "、またはフォルダはｱｯﾌﾟﾛｰﾄﾞ対象から除外されました。"});
  EXPECT_TRUE(s->ButtonVisible());
  EXPECT_TRUE(s->ButtonEnabled());
  EXPECT_EQ(s->view.progressUpper(), 2);
  // The upload list keeps drop order; rows are sorted by name.
  EXPECT_EQ(s->result.uploadList.at(0).path, a);
  EXPECT_EQ(s->result.uploadList.at(1).path, b);
  // Columns in order with their widths.
  ASSERT_EQ(s->view.columns().size(), 3u);
  EXPECT_EQ(Cp932ToUtf8(s->view.columns()[1].header), "ｻｲｽﾞ");
  EXPECT_EQ(Cp932ToUtf8(s->view.columns()[2].header), "ｽﾃｰﾀｽ");
  EXPECT_EQ(s->view.columns()[2].width, 120);
}

TEST_F(Screening, SizeLimitIsInclusive) {
  const auto exact = dir.WriteFile("exact.jpg", std::string(100, 'x'));
  const auto over = dir.WriteFile("over.jpg", std::string(101, 'x'));
  const auto s = Screen({exact, over}, Settings(1, 100));
  ASSERT_EQ(s->view.rows().size(), 1u);
  EXPECT_EQ(s->Row(0)[0], "exact.jpg");
  ASSERT_EQ(s->messages.size(), 1u);
  EXPECT_NE(s->messages[0].find("100[Byte]を越えるもの[101]"), std::string::npos);
}

TEST_F(Screening, FourGibibytesAndOneByteNeverPassesTheLimit) {
  const auto huge = dir.WriteFile("huge.jpg", "");
  std::filesystem::resize_file(huge, 4294967297ULL);  // sparse: no disk used
  const auto s = Screen({huge}, Settings(1, 5000000));
  EXPECT_TRUE(s->view.rows().empty());
  EXPECT_TRUE(s->result.blocked);
  EXPECT_EQ(s->title, "ｱｯﾌﾟﾛｰﾀﾞ:選択ﾌｧｲﾙ数[0]:総ﾌｧｲﾙｻｲｽﾞ[0]");
}

TEST_F(Screening, TotalsAreSixtyFourBit) {
  const auto a = dir.WriteFile("a.jpg", "");
  const auto b = dir.WriteFile("b.jpg", "");
  std::filesystem::resize_file(a, 3000000000ULL);
  std::filesystem::resize_file(b, 2000000000ULL);
  const auto s = Screen({a, b}, Settings(1, 4000000000U));
  EXPECT_EQ(s->title, "ｱｯﾌﾟﾛｰﾀﾞ:選択ﾌｧｲﾙ数[2]:総ﾌｧｲﾙｻｲｽﾞ[5,000,000,000]");
  EXPECT_FALSE(s->result.blocked);
  EXPECT_EQ(s->Row(0)[1], "3000000000");
}

TEST_F(Screening, CreativePeopleTakesJpegNamesOnly) {
  const auto photo = dir.WriteFile("photo.JPG", "x");
  const auto scan = dir.WriteFile("scan.png", "x");
  const auto readme = dir.WriteFile("README", "x");
  const auto s = Screen({photo, scan, readme}, Settings(5, 5000000));
  ASSERT_EQ(s->view.rows().size(), 2u);
  EXPECT_EQ(s->Row(0)[0], "photo.JPG");
  EXPECT_EQ(s->Row(1)[0], "README");
  EXPECT_EQ(s->messages, Lines{"JPEG以外のﾌｧｲﾙは指定できません。"});

  const auto zorg = Screen({scan}, Settings(3, 5000000));
  EXPECT_EQ(zorg->view.rows().size(), 1u);
  EXPECT_TRUE(zorg->messages.empty());
}

TEST_F(Screening, FolderAndUnreadableSentencesNameThePath) {
  std::filesystem::create_directory(dir.path() / "album");
  const auto good = dir.WriteFile("good.jpg", "x");
  const std::string folder = (dir.path() / "album").string();
  const std::string missing = (dir.path() / "gone.jpg").string();
  const auto s = Screen({folder, good, missing}, Settings(1, 100));
  EXPECT_EQ(s->messages,
            Lines{folder + "は、フォルダなので無視されます。" + missing + "は、読み込めませんでした。"});
}

TEST_F(Screening, EveryExcludedPathComesBackWithItsReason) {
  std::filesystem::create_directory(dir.path() / "album");
  const std::string folder = (dir.path() / "album").string();
  const std::string missing = (dir.path() / "gone.jpg").string();
  const auto big = dir.WriteFile("big.jpg", "xxxx");
  const auto scan = dir.WriteFile("scan.png", "x");
  const auto screened = Screen({folder, missing, big, scan}, Settings(5, 3));
  const ScreeningResult& result = screened->result;
  const struct {
    std::string path;
    Exclusion why;
    std::string_view name;
    std::uint64_t size;
  } expected[] = {{folder, Exclusion::kFolder, "folder", 0},
                  {missing, Exclusion::kUnreadable, "unreadable", 0},
                  {big, Exclusion::kOverSizeLimit, "too-large", 4},
                  {scan, Exclusion::kNotJpeg, "not-jpeg", 1}};
  ASSERT_EQ(result.excluded.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(result.excluded[i].path, expected[i].path);
    EXPECT_EQ(result.excluded[i].why, expected[i].why);
    EXPECT_EQ(ExclusionName(result.excluded[i].why), expected[i].name);
    EXPECT_EQ(result.excluded[i].size, expected[i].size) << i;
  }
  EXPECT_EQ(Cp932ToUtf8(result.excluded[2].sentence),
            "ﾌｧｲﾙｻｲｽﾞが、3[Byte]を越えるもの[4]、またはフォルダはｱｯﾌﾟﾛｰﾄﾞ対象から除外されました。");
  EXPECT_TRUE(result.uploadList.empty());
  EXPECT_TRUE(result.blocked);
}

TEST_F(Screening, TooManyFilesBlocksTheRun) {
  std::vector<std::string> paths;
  for (const char* name : {"1.jpg", "2.jpg", "3.jpg"}) paths.push_back(dir.WriteFile(name, "x"));
  paths.push_back(dir.WriteFile("big.jpg", "xxxx"));
  DialogSettings settings = Settings(1, 3);
  settings.maxFilesPerRun = 2;
  const auto s = Screen(paths, settings);
  EXPECT_EQ(s->view.rows().size(), 3u);
  EXPECT_EQ(
      s->messages,
      Lines{"一度にアップロードできる最大ファイル数を越えました[3]。アップロードできる最大数は[2]です"});
  EXPECT_FALSE(s->ButtonVisible());
  EXPECT_FALSE(s->ButtonEnabled());
  EXPECT_TRUE(s->result.blocked);

  settings.maxFilesPerRun = 0;  // no limit
  EXPECT_FALSE(Screen(paths, settings)->result.blocked);
}

TEST_F(Screening, EmptyAccountIsAskedForBeforeTheCollectedMessage) {
  const auto good = dir.WriteFile("good.jpg", "x");
  const auto big = dir.WriteFile("big.jpg", "xxxx");
  const auto s = Screen({good, big}, Settings(1, 3, "me", ""));
  ASSERT_EQ(s->messages.size(), 2u);
  EXPECT_EQ(s->messages[0], "アカウントを設定してください。");
  EXPECT_NE(s->messages[1].find("[Byte]を越えるもの[4]"), std::string::npos);
  EXPECT_FALSE(s->ButtonVisible());
  EXPECT_TRUE(s->ButtonEnabled());
}

TEST_F(Screening, SameNameFromTwoFoldersGivesTwoRowsWithTheirOwnItems) {
  const auto first = dir.WriteFile("one/a.jpg", "x");
  const auto second = dir.WriteFile("two/a.jpg", "xx");
  const auto s = Screen({first, second}, Settings(1, 100));
  ASSERT_EQ(s->fileList.rows().size(), 2u);
  EXPECT_EQ(s->fileList.rows()[0].item, 0u);
  EXPECT_EQ(s->fileList.rows()[1].item, 1u);
  EXPECT_EQ(s->result.uploadList[1].displayName, "a.jpg");
}

TEST_F(Screening, ZeroByteFileIsListedButBlocksTheRun) {
  const auto empty = dir.WriteFile("empty.jpg", "");
  const auto s = Screen({empty}, Settings(1, 100));
  EXPECT_EQ(s->view.rows().size(), 1u);
  EXPECT_TRUE(s->result.blocked);
  EXPECT_TRUE(s->messages.empty());
  EXPECT_FALSE(s->ButtonVisible());
}

TEST_F(Screening, ProgressRangeIsNotCutToSixteenBits) {
  const auto photo = dir.WriteFile("p.jpg", "x");
  const std::vector<std::string> paths(65537, photo);  // the same file dropped again and again
  const auto s = Screen(paths, Settings(1, 100));
  EXPECT_EQ(s->view.progressUpper(), 65537);
  EXPECT_EQ(s->title, "ｱｯﾌﾟﾛｰﾀﾞ:選択ﾌｧｲﾙ数[65537]:総ﾌｧｲﾙｻｲｽﾞ[65,537]");
}

TEST(ExtensionIn, SearchesTheLowerCasedExtensionInTheList) {
  const std::string_view list = ".jpg,.jpeg,.jpe,.jfif,.jfi,.jif";
  const struct {
    const char* path;
    int expected;
  } cases[] = {{"C:\\photos\\a.JPG", 0}, {"/p/a.jp", 0},    {"/p/README", 0},  {"/p/scan.png", -1},
               {"/p/x.jfif", 16},        {"/p.d/noext", 0}, {"a.tar.gif", -1}, {"D:x.JPEG", 5}};
  for (const auto& c : cases) EXPECT_EQ(ExtensionIn(c.path, list), c.expected) << c.path;
}

TEST(DisplayNameOf, TakesNameAndExtensionDoubleByteAware) {
  EXPECT_EQ(DisplayNameOf("C:\\photos\\a.jpg"), "a.jpg");
  EXPECT_EQ(DisplayNameOf("/home/u/b.png"), "b.png");
  EXPECT_EQ(DisplayNameOf("D:c.gif"), "c.gif");
  // "ソ" ends in 0x5C: it is a character, not a folder separator.
  const Text name = posix::Utf8ToCp932("ソ.jpg");
  EXPECT_EQ(DisplayNameOf("C:\\x\\" + name), name);
}

TEST(ReadFileBytes, SizeAndContents) {
  TempDir dir;
  std::uint64_t size = 99;
  EXPECT_FALSE(ReadFileBytes((dir.path() / "none").string(), size));
  const auto empty = dir.WriteFile("empty", "");
  EXPECT_TRUE(ReadFileBytes(empty, size));
  EXPECT_EQ(size, 0u);
  const auto bytes = dir.WriteFile("bytes", std::string("a\0b", 3));
  std::string contents;
  EXPECT_TRUE(ReadFileBytes(bytes, size, &contents));
  EXPECT_EQ(contents, std::string("a\0b", 3));
  EXPECT_FALSE(ReadFileBytes(dir.path().string(), size)) << "a folder has no bytes to read";
}

// With shrink to fit on, a file over the limit passes only when its bytes start as a JPEG, whatever
// its name; every other rule stays.
TEST_F(Screening, ShrinkToFitAcceptsOversizeJpegsByTheirBytes) {
  const std::string filler(200, 'x');
  const struct {
    const char* name;
    std::string bytes;
    int fit;
    int site;
    bool accepted;
  } cases[] = {
      {"big.jpg", "\xFF\xD8\xFF" + filler, 1, 1, true},
      {"big.jpg", "\xFF\xD8\xFF" + filler, 0, 1, false},
      {"no-name", "\xFF\xD8\xFF" + filler, 1, 1, true},
      {"fake.jpg", "\x89PNG" + filler, 1, 1, false},
      {"half.jpg", "\xFF\xD8" + filler, 1, 1, false},
      {"photo.png", "\xFF\xD8\xFF" + filler, 1, 5, false},  // destination 5's name test stays
  };
  for (const auto& c : cases) {
    auto settings = Settings(c.site, 100);
    settings.fit = c.fit;
    const auto s = Screen({dir.WriteFile(std::to_string(&c - cases) + "/" + c.name, c.bytes)}, settings);
    ASSERT_EQ(s->view.rows().size(), c.accepted ? 1u : 0u) << c.name << " fit=" << c.fit;
    if (c.accepted) {
      EXPECT_EQ(s->Row(0)[1], std::to_string(c.bytes.size())) << "the real size";
    }
  }
}

}  // namespace
}  // namespace wharfling
