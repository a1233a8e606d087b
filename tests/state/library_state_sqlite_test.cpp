// What only the SQLite state does: its file, what it does with a damaged one, and a record that
// cannot be written.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <string>

#include "server/state/sqlite_library_state.h"
#include "server/state/state_tokens.h"
#include "server/state/upload_room.h"
#include "tests/support/temp_dir.h"

namespace wharfling::server::state {
namespace {

using ::wharfling::testing::TempDir;

class SqliteStateTest : public ::testing::Test {
 protected:
  std::unique_ptr<LibraryState> Open(std::string& error, StatePolicy policy = {}) {
    SqliteStateOptions options;
    options.file = file_;
    options.policy = policy;
    options.busyTimeout = std::chrono::milliseconds(50);
    options.log = [this](const std::string& line) { log_ += line + "\n"; };
    return OpenSqliteLibraryState(options, error);
  }
  // A statement run on a connection of the test's own, as another program would.
  void Sql(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file_.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    const int code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    std::string detail = message != nullptr ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    ASSERT_EQ(code, SQLITE_OK) << detail;
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  std::filesystem::path file_ = dir_.path() / std::string(kSqliteStateFileName);
  std::string log_;
};

TEST_F(SqliteStateTest, ARecordThatCannotBeWrittenIsAFailureAndLeavesTheRoomReleasable) {
  std::string error;
  auto state = Open(error);
  ASSERT_NE(state, nullptr) << error;
  Sql("CREATE TRIGGER full BEFORE INSERT ON photos BEGIN SELECT RAISE(ABORT, 'database or disk is full'); "
      "END");
  {
    UploadRoom room(*state, 1000);
    ASSERT_EQ(room.Reserve("alice", 400), Outcome::kDone);
    EXPECT_EQ(room.Publish({NewPhotoId(), "alice", "a.jpg", 400, 1, "image/jpeg", ""}), Outcome::kFailed);
  }
  EXPECT_NE(log_.find("disk is full"), std::string::npos) << log_;
  AccountUsage usage;
  ASSERT_EQ(state->Usage("alice", usage), Outcome::kDone);
  EXPECT_EQ(usage.photos, 0u);
  EXPECT_EQ(usage.storedBytes, 0u);
  EXPECT_EQ(usage.reservedBytes, 0u);  // the hold went with the failed upload
}

TEST_F(SqliteStateTest, AWriterHeldUpPastTheBusyTimeOutIsAFailureNotAWait) {
  std::string error;
  auto state = Open(error);
  ASSERT_NE(state, nullptr) << error;
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(file_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  Reservation reservation;
  EXPECT_EQ(state->Reserve("alice", 1, std::nullopt, 0, reservation), Outcome::kFailed);
  PhotoPage page;
  EXPECT_EQ(state->Photos("alice", 0, 24, page), Outcome::kDone);  // readers are not held up
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(state->Reserve("alice", 1, std::nullopt, 0, reservation), Outcome::kDone);
}

TEST_F(SqliteStateTest, ASecondServerOnTheSameFileIsRefusedUntilTheFirstStops) {
  std::string error;
  auto first = Open(error);
  ASSERT_NE(first, nullptr) << error;
  EXPECT_EQ(Open(error), nullptr);
  EXPECT_NE(error.find("another server"), std::string::npos) << error;
  first.reset();
  EXPECT_NE(Open(error), nullptr) << error;
}

// Guesses from ever new addresses (an IPv6 network has plenty) do not grow the brake's table.
TEST_F(SqliteStateTest, TheBrakeRemembersABoundedNumberOfAddresses) {
  StatePolicy policy;
  policy.brake.maxTracked = 3;
  std::string error;
  auto state = Open(error, policy);
  ASSERT_NE(state, nullptr) << error;
  GuessVerdict verdict;
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(state->CountGuess("2001:db8::" + std::to_string(i), "", i, verdict), Outcome::kDone);
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file_.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* count = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM brake", -1, &count, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
  EXPECT_LE(sqlite3_column_int(count, 0), 3);
  sqlite3_finalize(count);
  sqlite3_close(db);
}

TEST_F(SqliteStateTest, SessionTokensAreKeptOnlyAsHashes) {
  std::string error, token;
  {
    auto state = Open(error);
    ASSERT_NE(state, nullptr) << error;
    ASSERT_EQ(state->OpenSession("alice", 0, token), Outcome::kDone);
  }
  for (const char* suffix : {"", "-wal"}) {
    std::ifstream in(file_.string() + suffix, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.find(token), std::string::npos) << suffix;
  }
}

// Garbage, a damaged database or a folder where the file should be: moved aside, never deleted,
// and a new state begun.
TEST_F(SqliteStateTest, AnUnreadableFileIsMovedAsideAndANewStateBegun) {
  const auto damage = [this](int how) {
    if (how == 0) {
      std::ofstream(file_, std::ios::binary) << std::string(8192, 'x');
    } else if (how == 1) {
      std::filesystem::create_directory(file_);
    } else {
      std::string error, token;
      ASSERT_NE(Open(error), nullptr) << error;
      Sql("PRAGMA journal_mode=DELETE");
      std::fstream io(file_, std::ios::binary | std::ios::in | std::ios::out);
      io.seekp(0);
      io << std::string(100, '\xff');  // the header
    }
  };
  for (int how = 0; how < 3; ++how) {
    std::filesystem::remove_all(dir_.path());
    std::filesystem::create_directories(dir_.path());
    damage(how);
    log_.clear();
    std::string error, token;
    auto state = Open(error);
    ASSERT_NE(state, nullptr) << how << ": " << error;
    EXPECT_EQ(state->OpenSession("alice", 0, token), Outcome::kDone);
    const auto names = Entries();
    const auto aside = std::count_if(names.begin(), names.end(), [](const std::string& name) {
      return name.starts_with(std::string(kSqliteStateFileName) + ".unreadable-");
    });
    EXPECT_EQ(aside, 1) << how;
    EXPECT_NE(log_.find("unreadable"), std::string::npos);
  }
}

// A state of the first schema, with a photo in it, as a server before thumbnail claims left it.
TEST_F(SqliteStateTest, AStateOfTheFirstSchemaIsUpgradedWithItsRecords) {
  std::string error;
  const PhotoEntry photo{NewPhotoId(), "alice", "a.jpg", 3, 1, "image/jpeg", ""};
  {
    auto state = Open(error);
    ASSERT_NE(state, nullptr) << error;
    ASSERT_EQ(state->Publish({}, photo), Outcome::kDone);
  }
  Sql("ALTER TABLE photos DROP COLUMN thumbnail_claimed_until_ms; PRAGMA user_version=1");
  auto state = Open(error);
  ASSERT_NE(state, nullptr) << error;
  ThumbnailTurn turn = ThumbnailTurn::kAnothers;
  ASSERT_EQ(state->ClaimThumbnail("alice", photo.id, 5, turn), Outcome::kDone);
  EXPECT_EQ(turn, ThumbnailTurn::kYours);
}

TEST_F(SqliteStateTest, ADatabaseOfANewerServerIsLeftAlone) {
  Sql("PRAGMA user_version=99");
  std::string error;
  EXPECT_EQ(Open(error), nullptr);
  EXPECT_NE(error.find("newer server"), std::string::npos) << error;
  EXPECT_EQ(Entries(), (std::vector<std::string>{std::string(kSqliteStateFileName),
                                                 std::string(kSqliteStateFileName) + ".lock"}));
}

}  // namespace
}  // namespace wharfling::server::state
