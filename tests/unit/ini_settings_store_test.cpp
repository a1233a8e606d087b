#include "platform/posix/ini_settings_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/file_inspection.h"
#include "tests/support/temp_dir.h"

namespace wharfling::posix {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::FileContents;
using testing::FileMode;
using testing::FolderNames;

std::size_t LineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class IniSettingsStoreTest : public ::testing::Test {
 protected:
  fs::path Folder() const { return temp_.path() / "Ferrowind"; }
  fs::path File() const { return Folder() / "wharfling.ini"; }
  void WriteFile(std::string_view bytes) const { temp_.WriteFile("Ferrowind/wharfling.ini", bytes); }
  IniSettingsStore NewStore() { return IniSettingsStore(Folder(), "wharfling", errors_); }

  testing::TempDir temp_;
  std::ostringstream errors_;
};

TEST_F(IniSettingsStoreTest, ReadsCreateNothing) {
  auto store = NewStore();
  EXPECT_EQ(store.ReadInt("Settings", "Select001"), std::nullopt);
  EXPECT_EQ(store.ReadText("Settings", "ParvaultD"), std::nullopt);
  EXPECT_FALSE(fs::exists(Folder()));
  fs::create_directory(Folder());
  EXPECT_EQ(store.ReadInt("Mode", "multi"), std::nullopt);
  EXPECT_TRUE(fs::is_empty(Folder()));
  EXPECT_EQ(errors_.str(), "");
}

TEST_F(IniSettingsStoreTest, FirstWriteCreatesAPrivateFileInAPrivateFolder) {
  const mode_t oldMask = ::umask(0);
  auto store = NewStore();
  store.WriteInt("Settings", "Select001", 15);
  ::umask(oldMask);
  EXPECT_EQ(store.lastWriteError(), "");
  EXPECT_EQ(FileContents(File()), "[Settings]\nSelect001=15\n");
  EXPECT_EQ(FileMode(File()), 0600u);
  EXPECT_EQ(FileMode(Folder()), 0700u);
  EXPECT_EQ(FolderNames(Folder()), std::vector<std::string>{"wharfling.ini"});
}

TEST_F(IniSettingsStoreTest, IntegersRoundTrip) {
  const std::int32_t values[] = {0, 1, -1, 15, 2000000, INT32_MAX, INT32_MIN};
  for (const auto value : values) {
    NewStore().WriteInt("Mode", "rule", value);
    EXPECT_EQ(NewStore().ReadInt("Mode", "rule"), value);
  }
  EXPECT_EQ(FileContents(File()), "[Mode]\nrule=-2147483648\n");
}

TEST_F(IniSettingsStoreTest, ReadsHandWrittenIntegers) {
  const struct {
    const char* written;
    std::optional<std::int32_t> read;
  } cases[] = {
      {"7", 7},
      {"007", 7},
      {"+5", 5},
      {" 12\t", 12},
      {"-1", -1},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"2147483648", INT32_MIN},   // DWORD bits
      {"4000000000", -294967296},  // an unsigned size keeps its bits
      {"4294967295", -1},
      {"4294967296", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"0x10", std::nullopt},
      {"12abc", std::nullopt},
      {"1 2", std::nullopt},
      {"1e3", std::nullopt},
  };
  for (const auto& c : cases) {
    WriteFile("[Settings]\nsize=" + std::string(c.written) + "\n");
    EXPECT_EQ(NewStore().ReadInt("Settings", "size"), c.read) << c.written;
  }
}

TEST_F(IniSettingsStoreTest, TextsRoundTripByteForByte) {
  const std::string texts[] = {
      "",
      "plain id",
      "\x93\xFA\x96\x7B\x8C\xEA",  // 日本語
      "\x83\x5C\x83\x5C",          // ソソ: trail bytes that look like backslashes
      "back\\slash\\",
      "line\r\nbreaks\n\r",
      " outer spaces ",
      "\x80\xA0\xFD",      // bytes that are no CP932 character
      "\x85\x40",          // lead byte of an empty row
      "\xED\x40\xFA\x5C",  // the two codes of one kanji
      "end lead\x82",
      "nul\0inside"s,
      "p@ss=w;rd#[x]",
  };
  for (const auto& text : texts) {
    NewStore().WriteText("Settings", "Pw003", text);
    EXPECT_EQ(NewStore().ReadText("Settings", "Pw003"), text) << FileContents(File());
  }
}

TEST_F(IniSettingsStoreTest, WritesTextsAsReadableUtf8) {
  auto store = NewStore();
  store.WriteText("Settings", "Id004", "\x93\xFA\x96\x7B\\\r\n\x80");
  EXPECT_EQ(FileContents(File()), "[Settings]\nId004=\xE6\x97\xA5\xE6\x9C\xAC\\\\\\r\\n\\x80\n");
}

TEST_F(IniSettingsStoreTest, KeepsEverythingItDoesNotWrite) {
  WriteFile(
      "; written by hand\r\n"
      "[Settings]\r\n"
      "Select001 = 3\r\n"
      "Type001=4\r\n"
      "LastTargetDir=C:\\\\Photos\r\n"
      "# old password follows\r\n"
      "Pw002=old\r\n"
      "\r\n"
      "[Unknown]\r\n"
      "anything=goes\r\n");
  IniSettingsStore concrete(Folder(), "wharfling", errors_);
  SettingsStore& store = concrete;  // through the port, as the core uses it
  store.WriteInt("Settings", "Select001", 2);
  store.WriteText("Settings", "Id002", "bob");
  store.WriteText("Settings", "Pw002", "");
  store.WriteInt("Mode", "rule", 3);
  EXPECT_EQ(FileContents(File()),
            "; written by hand\r\n"
            "[Settings]\r\n"
            "Select001 = 2\r\n"
            "Type001=4\r\n"
            "LastTargetDir=C:\\\\Photos\r\n"
            "# old password follows\r\n"
            "Pw002=\r\n"
            "Id002=bob\r\n"
            "\r\n"
            "[Unknown]\r\n"
            "anything=goes\r\n"
            "\r\n"
            "[Mode]\r\n"
            "rule=3\r\n");
  EXPECT_EQ(store.ReadText("Settings", "LastTargetDir"), "C:\\Photos");
  EXPECT_EQ(store.ReadInt("Settings", "Type001"), 4);
}

TEST_F(IniSettingsStoreTest, ReadsHandWrittenTextsWithoutTheLayoutBlanks) {
  WriteFile("[Settings]\nId003 =  bob smith \t\nPw003=\\x20secret\\x20\n");
  auto store = NewStore();
  EXPECT_EQ(store.ReadText("Settings", "Id003"), "bob smith");
  EXPECT_EQ(store.ReadText("Settings", "Pw003"), " secret ");
}

TEST_F(IniSettingsStoreTest, KeepsValuesAddedByOthersBetweenWrites) {
  auto store = NewStore();
  store.WriteInt("Settings", "Select001", 4);
  WriteFile(FileContents(File()) + "Type004=1\n");  // another program, or the user's editor
  store.WriteText("Settings", "Id004", "me");
  EXPECT_EQ(FileContents(File()), "[Settings]\nSelect001=4\nType004=1\nId004=me\n");
  EXPECT_EQ(store.ReadInt("Settings", "Type004"), 1);
}

TEST_F(IniSettingsStoreTest, TightensTheModeOfAFileWrittenByHand) {
  WriteFile("[Settings]\nSelect001=1\n");
  ASSERT_EQ(::chmod(File().c_str(), 0644), 0);
  NewStore().WriteText("Settings", "ParvaultW", "secret");
  EXPECT_EQ(FileMode(File()), 0600u);
}

TEST_F(IniSettingsStoreTest, AMalformedFileIsReportedOnceIgnoredAndNeverOverwritten) {
  const std::string broken = "[Settings]\nSelect001=5\nthis line is junk\nId005=x\n";
  WriteFile(broken);
  auto store = NewStore();
  EXPECT_EQ(store.ReadInt("Settings", "Select001"), std::nullopt);  // the whole file reads as empty
  EXPECT_EQ(store.ReadText("Settings", "Id005"), std::nullopt);
  store.WriteInt("Settings", "Select001", 1);
  store.WriteText("Settings", "Id005", "y");
  EXPECT_EQ(FileContents(File()), broken);
  EXPECT_EQ(FolderNames(Folder()), std::vector<std::string>{"wharfling.ini"});
  EXPECT_NE(store.lastWriteError(), "");
  const std::string report = errors_.str();
  EXPECT_EQ(LineCount(report), 1u) << report;
  EXPECT_NE(report.find(File().string() + ":3:"), std::string::npos) << report;
  EXPECT_NE(report.find("not be overwritten"), std::string::npos) << report;

  WriteFile("[Settings]\nSelect001=5\n");  // fixed by hand: the same store saves again
  store.WriteInt("Settings", "Select001", 6);
  EXPECT_EQ(store.lastWriteError(), "");
  EXPECT_EQ(FileContents(File()), "[Settings]\nSelect001=6\n");
}

TEST_F(IniSettingsStoreTest, AnUnreadableFileIsReportedOnceAndLeftAlone) {
  fs::create_directories(File());  // a folder where the file should be
  auto store = NewStore();
  EXPECT_EQ(store.ReadInt("Settings", "Select001"), std::nullopt);
  store.WriteInt("Settings", "Select001", 2);
  EXPECT_TRUE(fs::is_directory(File()));
  EXPECT_TRUE(fs::is_empty(File()));
  EXPECT_EQ(FolderNames(Folder()), std::vector<std::string>{"wharfling.ini"});
  EXPECT_EQ(LineCount(errors_.str()), 1u) << errors_.str();
  EXPECT_NE(errors_.str().find(File().string()), std::string::npos) << errors_.str();
  EXPECT_NE(store.lastWriteError(), "");
}

TEST_F(IniSettingsStoreTest, WithoutAFolderNothingIsReadOrSaved) {
  IniSettingsStore store("", "wharfling", errors_);
  EXPECT_EQ(store.ReadInt("Settings", "Select001"), std::nullopt);
  store.WriteInt("Settings", "Select001", 2);
  EXPECT_NE(store.lastWriteError(), "");
  EXPECT_FALSE(fs::exists("wharfling.ini"));
  EXPECT_EQ(LineCount(errors_.str()), 1u) << errors_.str();
}

TEST_F(IniSettingsStoreTest, AFailedSaveLeavesTheOriginalAndNoTemporaryFile) {
  const std::string original = "[Settings]\nParvaultD=me\nParvaultW=old\n";
  WriteFile(original);
  // The folder is not writable for the user who saves; root ignores modes, so the child drops to nobody.
  ASSERT_EQ(::chmod(temp_.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(File().c_str(), 0644), 0);
  ASSERT_EQ(::chmod(Folder().c_str(), 0555), 0);
  const int status = testing::RunInChildProcess([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 77;
    std::ostringstream childErrors;
    IniSettingsStore store(Folder(), "wharfling", childErrors);
    if (store.ReadText("Settings", "ParvaultW") != "old") return 2;
    store.WriteText("Settings", "ParvaultW", "new");
    if (store.lastWriteError().find("Permission denied") == std::string::npos) return 3;
    return LineCount(childErrors.str()) == 1 ? 0 : 4;
  });
  ::chmod(Folder().c_str(), 0700);
  if (status == 77) GTEST_SKIP() << "cannot drop privileges to test a folder that is not writable";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(FileContents(File()), original);
  EXPECT_EQ(FolderNames(Folder()), std::vector<std::string>{"wharfling.ini"});
}

TEST_F(IniSettingsStoreTest, ASaveThatChangesNothingLeavesTheFileAlone) {
  WriteFile("[Settings]\nSelect001=3\n");
  struct stat before {};
  ASSERT_EQ(::stat(File().c_str(), &before), 0);
  NewStore().WriteInt("Settings", "Select001", 3);
  struct stat after {};
  ASSERT_EQ(::stat(File().c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

}  // namespace
}  // namespace wharfling::posix
