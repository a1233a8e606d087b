// The start-up's look at the folders: the old index taken over with its ids, a state rebuilt from
// the folders, and files without records given ids once.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "server/state/library_startup.h"
#include "server/state/sqlite_library_state.h"
#include "tests/support/temp_dir.h"

namespace wharfling::server::state {
namespace {

using ::wharfling::testing::TempDir;

constexpr const char* kIdA = "0123456789abcdef0123456789abcdef";
constexpr const char* kIdB = "fedcba9876543210fedcba9876543210";

// An index as the server's earlier versions wrote it, by hand.
const char* const kOldIndex = R"({
 "version": 1,
 "photos": [
  {"id": "0123456789abcdef0123456789abcdef", "name": "beach.jpg", "size": 5, "uploaded": 1700000000000,
   "type": "image/jpeg", "thumbnail": ".thumb-0123456789abcdef0123456789abcdef.jpg"},
  {"id": "fedcba9876543210fedcba9876543210", "name": "gone.jpg", "size": 3, "uploaded": 1700000001000,
   "type": "image/jpeg", "thumbnail": ""},
  {"id": "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "name": "replaced.jpg", "size": 9, "uploaded": 1700000002000,
   "type": "image/jpeg", "thumbnail": ""}
 ]
})";

class LibraryStartupTest : public ::testing::Test {
 protected:
  void Start() {
    state_.reset();
    SqliteStateOptions options;
    options.file = dir_.path() / std::string(kSqliteStateFileName);
    options.log = [](const std::string&) {};
    std::string error;
    state_ = OpenSqliteLibraryState(options, error);
    ASSERT_NE(state_, nullptr) << error;
    counts_ = {};
    ASSERT_TRUE(ReconcileAccounts(*state_, dir_.path(), {"alice", "bob"}, Inspect, counts_, error)) << error;
  }
  static std::string Inspect(int, const std::string& name) {
    return name.ends_with(".jpg") ? "image/jpeg" : "";
  }
  void Write(const std::string& relative, const std::string& bytes) { dir_.WriteFile(relative, bytes); }
  // Every record of the account, by name.
  std::map<std::string, RecordedFile> Records(const std::string& account) {
    std::vector<RecordedFile> files;
    EXPECT_EQ(state_->RecordedFiles(account, files), Outcome::kDone);
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end(),
                               [](const auto& a, const auto& b) { return a.storedName < b.storedName; }));
    std::map<std::string, RecordedFile> byName;
    for (auto& file : files) byName[file.storedName] = file;
    return byName;
  }

  TempDir dir_;
  std::unique_ptr<LibraryState> state_;
  StartUpCounts counts_;
};

TEST_F(LibraryStartupTest, TheOldIndexIsTakenOverOnceWithItsIds) {
  Write("alice/beach.jpg", "12345");
  Write("alice/new.png", "png");
  Write("alice/replaced.jpg", "1234");  // not the file the old index knew under that name
  Write("alice/.photos.json", kOldIndex);
  Write("alice/.thumb-0123456789abcdef0123456789abcdef.jpg", "thumb");
  Start();
  auto records = Records("alice");
  ASSERT_EQ(records.size(), 3u);  // gone.jpg has no file
  EXPECT_EQ(records["beach.jpg"].id, kIdA);
  PhotoEntry beach;
  ASSERT_EQ(state_->FindPhoto("alice", kIdA, beach), Outcome::kDone);
  EXPECT_EQ(beach.uploadedMs, 1700000000000);
  EXPECT_EQ(beach.contentType, "image/jpeg");
  EXPECT_EQ(records["beach.jpg"].thumbnail, ".thumb-0123456789abcdef0123456789abcdef.jpg");
  EXPECT_NE(records["new.png"].id, kIdB);
  EXPECT_NE(records["replaced.jpg"].id, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
  EXPECT_EQ(counts_.takenOver, 1u);
  EXPECT_EQ(counts_.added, 2u);
  AccountUsage usage;
  ASSERT_EQ(state_->Usage("alice", usage), Outcome::kDone);
  EXPECT_EQ(usage.photos, 3u);
  EXPECT_EQ(usage.storedBytes, 12u);

  // Taken over once: a photo deleted afterwards does not come back from the old index.
  PhotoEntry removed;
  ASSERT_EQ(state_->RemovePhoto("alice", kIdA, removed), Outcome::kDone);
  std::filesystem::remove(dir_.path() / "alice/beach.jpg");
  Write("alice/gone.jpg", "abc");  // the old index's other name, now a new file
  Start();
  records = Records("alice");
  EXPECT_EQ(records.count("beach.jpg"), 0u);
  EXPECT_NE(records["gone.jpg"].id, kIdB);
}

TEST_F(LibraryStartupTest, AFileWithoutARecordGetsAnIdOnceAndKeepsIt) {
  Write("alice/a.jpg", "aaaa");
  Write("alice/.upload-123.part", "half");  // hidden files are never photos
  Start();
  const std::string id = Records("alice")["a.jpg"].id;
  ASSERT_EQ(Records("alice").size(), 1u);
  for (int i = 0; i < 2; ++i) {
    Start();
    EXPECT_EQ(Records("alice")["a.jpg"].id, id);
    EXPECT_EQ(counts_.added, 0u);
  }
}

// More files than go to one write: every one is recorded, and the old index's ids are kept for
// files in any of the writes.
TEST_F(LibraryStartupTest, AFolderOfManyFilesIsRecordedWhole) {
  constexpr int kFiles = 12000;
  std::filesystem::create_directories(dir_.path() / "alice");
  std::string index = R"({"version": 1, "photos": [)";
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "IMG_" + std::to_string(10000 + i) + ".jpg";
    std::ofstream(dir_.path() / "alice" / name) << "x";
    if (i % 1000 == 999) {
      const int n = i / 1000;  // 0 to 11: ids "aa...a00" to "aa...a11"
      index += std::string(i == 999 ? "" : ",") + R"({"id": ")" + std::string(30, 'a') + char('0' + n / 10) +
               char('0' + n % 10) + R"(", "name": ")" + name +
               R"(", "size": 1, "uploaded": 1, "type": "", "thumbnail": ""})";
    }
  }
  Write("alice/.photos.json", index + "]}");
  Start();
  EXPECT_EQ(counts_.takenOver, 12u);
  EXPECT_EQ(counts_.added, static_cast<std::size_t>(kFiles) - 12);
  AccountUsage usage;
  ASSERT_EQ(state_->Usage("alice", usage), Outcome::kDone);
  EXPECT_EQ(usage.photos, static_cast<std::uint64_t>(kFiles));
  EXPECT_EQ(Records("alice")["IMG_21999.jpg"].id, std::string(30, 'a') + "11");
}

TEST_F(LibraryStartupTest, RecordsFollowTheFolderAndKeepTheirIds) {
  Write("alice/kept.jpg", "1");
  Write("alice/grown.jpg", "1");
  Write("alice/gone.jpg", "1");
  Start();
  auto before = Records("alice");
  ASSERT_EQ(state_->SetThumbnail("alice", before["grown.jpg"].id, ".thumb-grown.jpg"), Outcome::kDone);
  Write("alice/.thumb-grown.jpg", "old thumbnail");
  Write("alice/grown.jpg", "123456");
  std::filesystem::remove(dir_.path() / "alice/gone.jpg");
  Start();
  auto after = Records("alice");
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after["kept.jpg"].id, before["kept.jpg"].id);
  EXPECT_EQ(after["grown.jpg"].id, before["grown.jpg"].id);
  EXPECT_EQ(after["grown.jpg"].size, 6u);
  EXPECT_EQ(after["grown.jpg"].thumbnail, "");  // made again from the new bytes
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "alice/.thumb-grown.jpg"));
  EXPECT_EQ(counts_.changed, 1u);
  EXPECT_EQ(counts_.removed, 1u);
}

// The database lost: every photo is listed again, under the old index's ids where it has them.
TEST_F(LibraryStartupTest, AnUnreadableDatabaseIsRebuiltFromTheFolders) {
  Write("alice/beach.jpg", "12345");
  Write("alice/later.jpg", "later");
  Write("alice/.photos.json", kOldIndex);
  Write("bob/b.jpg", "b");
  Start();
  state_.reset();
  std::ofstream(dir_.path() / std::string(kSqliteStateFileName), std::ios::binary | std::ios::trunc)
      << "not a database, not at all";
  Start();
  const auto rebuilt = Records("alice");
  ASSERT_EQ(rebuilt.size(), 2u);
  EXPECT_EQ(rebuilt.at("beach.jpg").id, kIdA);
  EXPECT_EQ(rebuilt.count("later.jpg"), 1u);
  EXPECT_EQ(Records("bob").size(), 1u);
}

// A folder that cannot be opened as one (here a symbolic link, which is never followed) is no
// reason to drop its photos' records.
TEST_F(LibraryStartupTest, AFolderThatCannotBeReadKeepsItsRecords) {
  Write("alice/a.jpg", "a");
  Start();
  const std::string id = Records("alice")["a.jpg"].id;
  std::filesystem::rename(dir_.path() / "alice", dir_.path() / "elsewhere");
  std::filesystem::create_directory_symlink(dir_.path() / "elsewhere", dir_.path() / "alice");
  Start();
  EXPECT_EQ(counts_.unreadableFolders, std::vector<std::string>{"alice"});
  EXPECT_EQ(Records("alice")["a.jpg"].id, id);
}

}  // namespace
}  // namespace wharfling::server::state
