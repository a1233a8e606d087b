// The storage folder and the streaming receiver of parvault-server, without HTTP.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "server/library/upload_receiver.h"
#include "server/library/upload_store.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/temp_dir.h"

namespace wharfling::server {
namespace {

using wharfling::testing::FileContents;
using wharfling::testing::FolderNames;

class UploadStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(store_.Open(root(), error)) << error;
  }
  std::filesystem::path root() const { return dir_.path() / "storage"; }
  std::filesystem::path alice() const { return root() / "alice"; }
  std::vector<std::string> Stored() const { return FolderNames(alice()); }

  // A pending file in alice's folder; not getting one fails the test.
  std::optional<PendingFile> Pending() {
    std::string error;
    auto pending = store_.CreatePending("alice", error);
    EXPECT_TRUE(pending) << error;
    return pending;
  }

  // Stores bytes under name through a pending file; returns the name used.
  std::string Store(std::string_view name, std::string_view bytes) {
    auto pending = Pending();
    if (!pending) return {};
    EXPECT_TRUE(pending->Write(bytes.data(), bytes.size()));
    std::string error;
    auto published = pending->Publish(name, error);
    EXPECT_TRUE(published) << error;
    return published.value_or("");
  }

  testing::TempDir dir_;
  UploadStore store_;
};

TEST_F(UploadStoreTest, NeverReplacesAFile) {
  const std::pair<std::string, std::string> stores[] = {
      {"first", "photo.jpg"}, {"second", "photo (2).jpg"}, {"third", "photo (3).jpg"}};
  for (const auto& [bytes, name] : stores) EXPECT_EQ(Store("photo.jpg", bytes), name);
  for (const auto& [bytes, name] : stores) EXPECT_EQ(FileContents(alice() / name), bytes);
  EXPECT_EQ(Stored(), (std::vector<std::string>{"photo (2).jpg", "photo (3).jpg", "photo.jpg"}));
}

TEST_F(UploadStoreTest, AFolderOfTheNameIsNotReplacedEither) {
  std::filesystem::create_directories(alice() / "photo.jpg");
  EXPECT_EQ(Store("photo.jpg", "x"), "photo (2).jpg");
}

TEST_F(UploadStoreTest, AnUnpublishedFileLeavesNothing) {
  {
    auto pending = Pending();
    ASSERT_TRUE(pending && pending->Write("partial", 7));
    EXPECT_EQ(Stored().size(), 1u);  // the temporary file
  }
  EXPECT_TRUE(Stored().empty());
}

TEST_F(UploadStoreTest, RemovesLeftoversOfAnEarlierRunOnly) {
  std::filesystem::create_directories(alice());
  for (const char* name :
       {".upload-0123abcd.part", "keep.jpg", ".upload-.part", ".other", ".write-0a1b.tmp", ".photos.json"}) {
    std::ofstream(alice() / name) << "x";
  }
  store_.RemoveLeftovers("alice");
  EXPECT_EQ(Stored(), (std::vector<std::string>{".other", ".photos.json", ".upload-.part", "keep.jpg"}));
}

TEST_F(UploadStoreTest, RefusesFolderNamesThatLeaveTheStorage) {
  for (const char* name : {"", ".", "..", "a/b", "../x"}) {
    std::string error;
    EXPECT_FALSE(store_.CreatePending(name, error)) << name;
  }
  EXPECT_TRUE(FolderNames(dir_.path()) == std::vector<std::string>{"storage"});
}

TEST_F(UploadStoreTest, DoesNotFollowALinkedAccountFolder) {
  std::filesystem::create_directories(dir_.path() / "elsewhere");
  std::filesystem::create_directory_symlink(dir_.path() / "elsewhere", root() / "mallory");
  std::string error;
  EXPECT_FALSE(store_.CreatePending("mallory", error));
  EXPECT_TRUE(FolderNames(dir_.path() / "elsewhere").empty());
}

TEST_F(UploadStoreTest, ListsPublishedFilesOnly) {
  Store("b.jpg", "bb");
  Store("a.jpg", "a");
  auto pending = Pending();  // in progress: not listed
  const auto files = store_.List("alice", 10);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, "a.jpg");
  EXPECT_EQ(files[0].size, 1u);
  EXPECT_EQ(files[1].name, "b.jpg");
  EXPECT_EQ(store_.List("alice", 1).size(), 1u);
  EXPECT_TRUE(store_.List("nobody", 10).empty());
}

TEST_F(UploadStoreTest, ConcurrentPublicationsOfOneNameKeepEveryFile) {
  constexpr std::size_t kWriters = 16;
  std::vector<std::string> names(kWriters);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < kWriters; ++i) {
    threads.emplace_back([&, i] { names[i] = Store("same.jpg", "content " + std::to_string(i)); });
  }
  for (auto& thread : threads) thread.join();
  std::set<std::string> contents;
  for (std::size_t i = 0; i < kWriters; ++i) {
    ASSERT_FALSE(names[i].empty());
    contents.insert(FileContents(alice() / names[i]));
  }
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), kWriters);
  EXPECT_EQ(contents.size(), kWriters);
  EXPECT_EQ(Stored().size(), kWriters);
}

class UploadReceiverTest : public UploadStoreTest {
 protected:
  UploadOutcome Receive(std::uint64_t maxFileSize,
                        const std::vector<std::pair<std::string, std::string>>& parts,
                        std::string_view fileBytes, bool complete = true) {
    UploadReceiver receiver(store_, "alice", maxFileSize);
    for (const auto& [name, fileName] : parts) {
      if (!receiver.BeginPart(name, fileName)) return receiver.Finish(false);
      const std::string_view bytes = fileName.empty() ? std::string_view() : fileBytes;
      // In two pieces, as a stream would bring them.
      const std::size_t half = bytes.size() / 2;
      if (!receiver.Append(bytes.data(), half) ||
          !receiver.Append(bytes.data() + half, bytes.size() - half)) {
        return receiver.Finish(false);
      }
    }
    return receiver.Finish(complete);
  }
};

TEST_F(UploadReceiverTest, StoresAFileOfExactlyTheLimit) {
  const auto outcome = Receive(10, {{"FileID", ""}, {"DataFile", "C:\\p\\ten.jpg"}}, "0123456789");
  EXPECT_FALSE(outcome.refusal);
  EXPECT_EQ(outcome.storedName, "ten.jpg");
  EXPECT_EQ(outcome.size, 10u);
  EXPECT_EQ(FileContents(alice() / "ten.jpg"), "0123456789");
}

TEST_F(UploadReceiverTest, RefusesWhatItCannotStoreAndKeepsNothing) {
  const struct {
    std::string label;
    std::uint64_t maxFileSize;
    std::vector<std::pair<std::string, std::string>> parts;  // field name, file name
    std::string fileBytes;
    bool complete;
    Refusal refusal;
  } cases[] = {
      {"one byte over the limit",
       9,
       {{"DataFile", "C:\\p\\ten.jpg"}},
       "0123456789",
       true,
       Refusal::kTooLarge},
      {"incomplete body", 100, {{"DataFile", "/p/a.jpg"}}, "abc", false, Refusal::kMalformed},
      {"text fields only", 100, {{"FileID", ""}, {"version", ""}}, "", true, Refusal::kNoFile},
      {"another file field", 100, {{"Photo", "/p/a.jpg"}}, "abc", true, Refusal::kNoFile},
      {"no parts", 100, {}, "", true, Refusal::kNoFile},
      {"bad name", 100, {{"DataFile", "C:\\x\\.."}}, "abc", true, Refusal::kBadName},
      {"long name", 100, {{"DataFile", "/p/" + std::string(300, 'n')}}, "abc", true, Refusal::kNameTooLong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Receive(c.maxFileSize, c.parts, c.fileBytes, c.complete).refusal, c.refusal);
    EXPECT_TRUE(Stored().empty());
  }
}

TEST_F(UploadReceiverTest, RefusesAFileFieldWithoutAFileName) {
  UploadReceiver receiver(store_, "alice", 100);
  ASSERT_TRUE(receiver.BeginPart("DataFile", ""));
  ASSERT_TRUE(receiver.Append("abc", 3));
  EXPECT_EQ(receiver.Finish(true).refusal, Refusal::kNoFile);
  EXPECT_TRUE(Stored().empty());
}

TEST_F(UploadReceiverTest, OnlyTheFirstFileFieldCounts) {
  UploadReceiver receiver(store_, "alice", 100);
  ASSERT_TRUE(receiver.BeginPart("DataFile", "/p/first.jpg"));
  ASSERT_TRUE(receiver.Append("one", 3));
  ASSERT_TRUE(receiver.BeginPart("DataFile", "/p/second.jpg"));
  ASSERT_TRUE(receiver.Append("two", 3));
  const auto outcome = receiver.Finish(true);
  EXPECT_EQ(outcome.storedName, "first.jpg");
  EXPECT_EQ(Stored(), std::vector<std::string>{"first.jpg"});
  EXPECT_EQ(FileContents(alice() / "first.jpg"), "one");
}

TEST_F(UploadReceiverTest, BoundsWhatItDropsAndHowManyParts) {
  UploadReceiver dropping(store_, "alice", 10);
  ASSERT_TRUE(dropping.BeginPart("comment", ""));
  const std::string large(kEnvelopeAllowance + 11, 'c');
  EXPECT_FALSE(dropping.Append(large.data(), large.size()));
  EXPECT_EQ(dropping.Finish(false).refusal, Refusal::kTooLarge);

  UploadReceiver many(store_, "alice", 10);
  bool going = true;
  for (int i = 0; i <= kMaxParts && going; ++i) going = many.BeginPart("x", "");
  EXPECT_FALSE(going);
  EXPECT_EQ(many.Finish(false).refusal, Refusal::kMalformed);
}

}  // namespace
}  // namespace wharfling::server
