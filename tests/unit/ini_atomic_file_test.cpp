#include "platform/posix/atomic_file.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

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
using testing::FileContents;
using testing::FileMode;
using testing::FolderNames;
using testing::TempDir;

// Sets the process's file-creation mask for one scope.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }

 private:
  mode_t old_;
};

TEST(ReplaceFileAtomically, CreatesMissingFoldersPrivately) {
  TempDir temp;
  const fs::path file = temp.path() / "a" / "b" / "wharfling.ini";
  ScopedUmask openMask(0);  // the modes must not depend on the caller's mask
  std::string reason;
  ASSERT_TRUE(ReplaceFileAtomically(file, "[Settings]\n", reason)) << reason;
  EXPECT_EQ(FileContents(file), "[Settings]\n");
  EXPECT_EQ(FileMode(file), 0600u);
  EXPECT_EQ(FileMode(temp.path() / "a"), 0700u);
  EXPECT_EQ(FileMode(temp.path() / "a" / "b"), 0700u);
  EXPECT_EQ(FolderNames(file.parent_path()), std::vector<std::string>{"wharfling.ini"});
}

TEST(ReplaceFileAtomically, ReplacesContentsAndTightensTheMode) {
  TempDir temp;
  const fs::path file = temp.WriteFile("wharfling.ini", "old and longer contents\n");
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  std::string reason;
  ASSERT_TRUE(ReplaceFileAtomically(file, "new\n", reason)) << reason;
  EXPECT_EQ(FileContents(file), "new\n");
  EXPECT_EQ(FileMode(file), 0600u);
  EXPECT_EQ(FolderNames(temp.path()), std::vector<std::string>{"wharfling.ini"});
}

TEST(ReplaceFileAtomically, ReplacesTheFileASymbolicLinkNames) {
  TempDir temp;
  const fs::path real = temp.WriteFile("dotfiles/wharfling.ini", "old\n");
  const fs::path link = temp.path() / "wharfling.ini";
  fs::create_symlink(real, link);
  std::string reason;
  ASSERT_TRUE(ReplaceFileAtomically(link, "new\n", reason)) << reason;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(FileContents(real), "new\n");
}

TEST(ReplaceFileAtomically, FailsWhenAFileStandsWhereTheFolderShouldBe) {
  TempDir temp;
  temp.WriteFile("taken", "x");
  std::string reason;
  EXPECT_FALSE(ReplaceFileAtomically(temp.path() / "taken" / "sub" / "wharfling.ini", "new\n", reason));
  EXPECT_NE(reason.find("taken"), std::string::npos) << reason;
  EXPECT_EQ(FileContents(temp.path() / "taken"), "x");
}

TEST(ReplaceFileAtomically, LeavesTheOldFileWholeWhenTheDiskFillsUp) {
  TempDir temp;
  const std::string old = "[Settings]\nId002=keep me\n";
  const fs::path file = temp.WriteFile("wharfling.ini", old);
  const std::string large(4096, 'x');
  // The file-size limit makes writes fail part-way (EFBIG) as a full disk would.
  const int status = testing::RunInChildProcess([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    std::string reason;
    if (ReplaceFileAtomically(file, large, reason)) return 1;
    return reason.find("cannot write") != std::string::npos ? 0 : 3;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(FileContents(file), old);
  EXPECT_EQ(FolderNames(temp.path()), std::vector<std::string>{"wharfling.ini"});
}

TEST(ReadWholeFile, TellsMissingFromUnreadable) {
  TempDir temp;
  const fs::path file = temp.WriteFile("wharfling.ini", std::string("a\0b", 3));
  temp.WriteFile("plain", "x");
  fs::create_directory(temp.path() / "folder.ini");

  const auto read = ReadWholeFile(file);
  EXPECT_EQ(read.outcome, FileContents::Outcome::kRead);
  EXPECT_EQ(read.bytes, std::string("a\0b", 3));

  EXPECT_EQ(ReadWholeFile(temp.path() / "absent.ini").outcome, FileContents::Outcome::kMissing);
  EXPECT_EQ(ReadWholeFile(temp.path() / "no" / "such.ini").outcome, FileContents::Outcome::kMissing);

  const auto folder = ReadWholeFile(temp.path() / "folder.ini");
  EXPECT_EQ(folder.outcome, FileContents::Outcome::kFailed);
  EXPECT_NE(folder.reason.find("folder.ini"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(temp.path() / "plain" / "x.ini").outcome, FileContents::Outcome::kFailed);
}

}  // namespace
}  // namespace wharfling::posix
