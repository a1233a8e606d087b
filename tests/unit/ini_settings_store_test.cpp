#include "platform/posix/ini_settings_store.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/posix/file_lock.h"
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

const std::vector<std::string> kProfileAndLock = {".wharfling.ini.lock", "wharfling.ini"};

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
  EXPECT_EQ(FolderNames(Folder()), kProfileAndLock);
  EXPECT_EQ(FileMode(Folder() / ".wharfling.ini.lock"), 0600u);
}

TEST_F(IniSettingsStoreTest, IntegersRoundTrip) {
  const std::int32_t values[] = {0, 1, -1, 15, 2000000, INT32_MAX, INT32_MIN};
  for (const auto value : values) {
    NewStore().WriteInt("Mode", "rule", value);
    EXPECT_EQ(NewStore().ReadInt("Mode", "rule"), value);
  }
  EXPECT_EQ(FileContents(File()), "[Mode]\nrule=-2147483648\n");
}

// A value the program does not own reads as the registry would hand it over; the profile's own
// integers are held to their ranges (below).
TEST_F(IniSettingsStoreTest, ReadsHandWrittenIntegers) {
  std::vector<std::pair<std::string, std::optional<std::int32_t>>> cases = {
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
  };
  for (const char* unreadable :
       {"4294967296", "-2147483649", "99999999999999999999999", "", "-", "0x10", "12abc", "1 2", "1e3"}) {
    cases.emplace_back(unreadable, std::nullopt);
  }
  for (const auto& [written, read] : cases) {
    WriteFile("[Settings]\nHandwritten=" + written + "\n");
    EXPECT_EQ(NewStore().ReadInt("Settings", "Handwritten"), read) << written;
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
      "; written by hand\r\n[Settings]\r\nSelect001 = 3\r\nType001=4\r\nLastTargetDir=C:\\\\Photos\r\n"
      "# old password follows\r\nPw002=old\r\n\r\n[Unknown]\r\nanything=goes\r\n");
  IniSettingsStore concrete(Folder(), "wharfling", errors_);
  SettingsStore& store = concrete;  // through the port, as the core uses it
  store.WriteInt("Settings", "Select001", 2);
  store.WriteText("Settings", "Id002", "bob");
  store.WriteText("Settings", "Pw002", "");
  store.WriteInt("Mode", "rule", 3);
  EXPECT_EQ(FileContents(File()),
            "; written by hand\r\n[Settings]\r\nSelect001 = 2\r\nType001=4\r\nLastTargetDir=C:\\\\Photos\r\n"
            "# old password follows\r\nPw002=\r\nId002=bob\r\n\r\n[Unknown]\r\nanything=goes\r\n"
            "\r\n[Mode]\r\nrule=3\r\n");
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
  EXPECT_EQ(FolderNames(Folder()), kProfileAndLock);
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
  EXPECT_EQ(FolderNames(Folder()), kProfileAndLock);
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

// The profile's own integers must be in their range; anything else would quietly become a default
// (a typo sending the account to destination 1) and be overwritten by the next save.
TEST_F(IniSettingsStoreTest, AnIntegerOutOfItsRangeIsAProblemOfTheFile) {
  // Usable: a Select001 naming no destination (destination 1, kept as it is), the unsigned size limits,
  // a text, and a name that is not the profile's (kept, not judged).
  const std::vector<std::string> usable = {"Select001=15",      "Select001=-2147483648",
                                           "Select001= +7 ",    "iparvault_maxsize=4294967295",
                                           "LastTargetDir=abc", "Unknown=abc"};
  // Select001 is signed (no DWORD bits); names ignore case, as reads do.
  const std::vector<std::string> unusable = {"Select001=two",        "Select001=99999999999999",
                                             "Select001=2147483648", "select001=2x",
                                             "Select001=",           "Uid014=1.5",
                                             "Type007=0x1",          "iparvault_maxsize=4294967296",
                                             "iparvault_maxsize=-1", "Size=abc"};
  for (const bool isUsable : {true, false}) {
    for (const std::string& line : isUsable ? usable : unusable) {
      SCOPED_TRACE(line);
      const std::string text = "[Settings]\n; hand-written\n" + line + "\nId002=me\n";
      WriteFile(text);
      auto store = NewStore();
      const auto problems = store.Problems();
      store.WriteText("Settings", "Id002", "other");
      if (isUsable) {
        EXPECT_TRUE(problems.empty()) << problems.front();
        EXPECT_EQ(store.ReadText("Settings", "Id002"), Text("other"));
        continue;
      }
      ASSERT_EQ(problems.size(), 1u);
      EXPECT_EQ(problems[0].rfind(File().string() + ":3: " + line, 0), 0u) << problems[0];
      EXPECT_NE(problems[0].find("is not a whole number from"), std::string::npos) << problems[0];
      EXPECT_EQ(FileContents(File()), text) << "nothing is overwritten";
      EXPECT_EQ(store.ReadText("Settings", "Id002"), std::nullopt);
    }
  }
}

TEST_F(IniSettingsStoreTest, EveryBadValueIsListed) {
  WriteFile("[Settings]\nSelect001=two\n[Mode]\nrule=abc\nmulti=1\nkeyring=on\n");
  const auto problems = NewStore().Problems();
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_NE(problems[0].find(":2: Select001=two"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find(":4: rule=abc"), std::string::npos) << problems[1];
  EXPECT_NE(problems[2].find(":6: keyring=on"), std::string::npos) << problems[2];
}

TEST_F(IniSettingsStoreTest, AFileOverOneMebibyteIsNotRead) {
  std::string text = "[Settings]\nSelect001=3\n";
  text += std::string(kMaxProfileBytes - text.size() - 1, ';') + "\n";
  WriteFile(text);
  EXPECT_TRUE(NewStore().Problems().empty());
  EXPECT_EQ(NewStore().ReadInt("Settings", "Select001"), 3);
  WriteFile(text + "\n");
  auto store = NewStore();
  const auto problems = store.Problems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("larger than 1048576 bytes"), std::string::npos) << problems[0];
  store.WriteInt("Settings", "Select001", 4);
  EXPECT_EQ(FileContents(File()).size(), kMaxProfileBytes + 1) << "nothing is overwritten";
}

TEST_F(IniSettingsStoreTest, TheFileIsReadOnceAndASaveReadsItAfresh) {
  WriteFile("[Settings]\nSelect001=3\n");
  auto store = NewStore();
  EXPECT_EQ(store.ReadInt("Settings", "Select001"), 3);
  WriteFile("[Settings]\nSelect001=4\n[Mode]\nrule=2\n");  // another program's save
  EXPECT_EQ(store.ReadInt("Settings", "Select001"), 3) << "read once";
  store.WriteText("Settings", "Id003", "me");
  EXPECT_EQ(FileContents(File()), "[Settings]\nSelect001=4\nId003=me\n[Mode]\nrule=2\n");
  EXPECT_EQ(store.ReadInt("Mode", "rule"), 2) << "what the save read";
}

TEST_F(IniSettingsStoreTest, OneSaveIsOneReplacementAndClearsWhatKilledSavesLeft) {
  WriteFile("[Settings]\nSelect001=1\n");
  temp_.WriteFile("Ferrowind/.wharfling.ini.tmpAb3dE9", "ParvaultW=leaked");
  temp_.WriteFile("Ferrowind/.wharfling.ini.tmpshort", "kept: not a name saves give");
  temp_.WriteFile("Ferrowind/.wharfling.ini.backup", "kept: a person's own");
  auto store = NewStore();
  store.Apply({SettingChange::Int("Settings", "Select001", 2),
               SettingChange::String("Settings", "Id002", "me"),
               SettingChange::String("Settings", "Pw002", "pw"), SettingChange::Removal("Settings", "Gone")});
  EXPECT_EQ(FileContents(File()), "[Settings]\nSelect001=2\nId002=me\nPw002=pw\n");
  EXPECT_EQ(FolderNames(Folder()), (std::vector<std::string>{".wharfling.ini.backup", ".wharfling.ini.lock",
                                                             ".wharfling.ini.tmpshort", "wharfling.ini"}));
  // A bad name in the batch saves none of it.
  store.Apply(
      {SettingChange::Int("Settings", "Select001", 3), SettingChange::String("Settings", "a=b", "x")});
  EXPECT_NE(store.lastWriteError(), "");
  EXPECT_EQ(FileContents(File()), "[Settings]\nSelect001=2\nId002=me\nPw002=pw\n");
}

TEST_F(IniSettingsStoreTest, ASaveWaitsForTheLockRatherThanLoseItsChange) {
  const std::string before = "[Settings]\nSelect001=1\n";
  WriteFile(before);
  int held[2];
  ASSERT_EQ(::pipe(held), 0);
  // Another program holds the lock for a while, and sees the file unchanged all that time.
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    const FileLock lock(NewStore().lockPath(), std::chrono::milliseconds(0));
    const bool told = ::write(held[1], lock.held() ? "y" : "n", 1) == 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::_exit(told && lock.held() && FileContents(File()) == before ? 0 : 1);
  }
  char answer = 0;
  ASSERT_EQ(::read(held[0], &answer, 1), 1);
  ASSERT_EQ(answer, 'y');
  auto store = NewStore();
  store.WriteInt("Settings", "Select001", 5);
  EXPECT_EQ(store.lastWriteError(), "");
  EXPECT_EQ(FileContents(File()), "[Settings]\nSelect001=5\n");
  int status = 0;
  ASSERT_EQ(::waitpid(holder, &status, 0), holder);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "saved while the lock was held";
  ::close(held[0]);
  ::close(held[1]);
}

}  // namespace
}  // namespace wharfling::posix
