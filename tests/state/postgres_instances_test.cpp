// Several servers on one PostgreSQL database: two states on the same tables stand for two instances
// (each with its own pool), and what must hold across them is raced from both at once.

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "server/state/pg_connection.h"
#include "server/state/pg_schema.h"
#include "server/state/postgres_library_state.h"
#include "server/state/state_tokens.h"
#include "server/state/upload_room.h"
#include "tests/state/private_postgres.h"

namespace wharfling::server::state {
namespace {

using ::wharfling::testing::PrivatePostgresSchema;

class PostgresInstancesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WHARFLING_NEED_POSTGRES();
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string error;
    conninfo_ = PrivatePostgresSchema("i_" + RandomHexDigits(6) + "_" + std::to_string(test->line()), error);
    ASSERT_NE(conninfo_, "") << error;
    a_ = Open();
    b_ = Open();
    ASSERT_TRUE(a_ && b_);
  }
  std::unique_ptr<LibraryState> Open() {
    std::string error;
    auto state = OpenPostgresLibraryState({conninfo_, 4, policy_, {}}, error);
    EXPECT_NE(state, nullptr) << error;
    return state;
  }
  LibraryState& Instance(int i) { return i % 2 == 0 ? *a_ : *b_; }

  StatePolicy policy_;
  std::string conninfo_;
  std::unique_ptr<LibraryState> a_, b_;
};

TEST_F(PostgresInstancesTest, UploadsThroughBothInstancesShareOneQuota) {
  constexpr std::uint64_t kQuota = 10'000'000, kFile = 1'000'000;
  constexpr int kUploads = 24;
  std::atomic<int> stored{0};
  std::latch allHeld(kUploads);
  std::vector<std::thread> uploads;
  for (int i = 0; i < kUploads; ++i) {
    uploads.emplace_back([&, i] {
      UploadRoom room(Instance(i), kQuota);
      const bool held = room.Reserve("alice", kFile) == Outcome::kDone;
      allHeld.arrive_and_wait();
      const PhotoEntry photo{NewPhotoId(), "alice", "p" + std::to_string(i) + ".jpg", kFile, i,
                             "image/jpeg", ""};
      if (held && room.Publish(photo) == Outcome::kDone) ++stored;
    });
  }
  for (auto& upload : uploads) upload.join();
  AccountUsage usage;
  ASSERT_EQ(b_->Usage("alice", usage), Outcome::kDone);
  EXPECT_EQ(stored.load(), 10);  // declared lengths: the room is exact
  EXPECT_EQ(usage.storedBytes, kQuota);
  EXPECT_EQ(usage.photos, 10u);
  EXPECT_EQ(usage.reservedBytes, 0u);
}

TEST_F(PostgresInstancesTest, TheBrakeCountsGuessesReachingEitherInstance) {
  std::atomic<int> checked{0};
  std::vector<std::thread> guesses;
  for (int i = 0; i < 32; ++i) {
    guesses.emplace_back([&, i] {
      GuessVerdict verdict;
      ASSERT_EQ(Instance(i).CountGuess("192.0.2.7", "alice", 1'000'000, verdict), Outcome::kDone);
      if (verdict.mayCheck) ++checked;
    });
  }
  for (auto& guess : guesses) guess.join();
  EXPECT_EQ(checked.load(), policy_.brake.accountFreeFailures);
}

TEST_F(PostgresInstancesTest, ASessionMadeOnOneWorksOnTheOtherAndEndsOnBoth) {
  std::string token, account;
  ASSERT_EQ(a_->OpenSession("alice", 10, token), Outcome::kDone);
  ASSERT_EQ(b_->FindSession(token, 20, account), Outcome::kDone);
  EXPECT_EQ(account, "alice");
  ASSERT_EQ(b_->CloseSession(token), Outcome::kDone);
  EXPECT_EQ(a_->FindSession(token, 30, account), Outcome::kNotFound);
}

TEST_F(PostgresInstancesTest, SignInsOnBothInstancesKeepTheAccountsCap) {
  policy_.sessionsPerAccount = 3;
  a_ = Open();
  b_ = Open();
  std::vector<std::string> tokens(16);
  std::vector<std::thread> signIns;
  for (int i = 0; i < 16; ++i) {
    signIns.emplace_back(
        [&, i] { EXPECT_EQ(Instance(i).OpenSession("alice", 100, tokens[i]), Outcome::kDone); });
  }
  for (auto& signIn : signIns) signIn.join();
  int live = 0;
  for (const auto& token : tokens) {
    std::string account;
    if (a_->FindSession(token, 101, account) == Outcome::kDone) ++live;
  }
  EXPECT_EQ(live, 3);
}

TEST_F(PostgresInstancesTest, InstancesDrawingTheFormsKeyAtOnceAgreeOnOne) {
  std::vector<std::string> keys(8);
  std::vector<std::unique_ptr<LibraryState>> fresh;
  for (int i = 0; i < 8; ++i) fresh.push_back(Open());
  std::vector<std::thread> draws;
  for (int i = 0; i < 8; ++i) {
    draws.emplace_back([&, i] { EXPECT_EQ(fresh[i]->CsrfKey(keys[i]), Outcome::kDone); });
  }
  for (auto& draw : draws) draw.join();
  EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), 1u);
  EXPECT_EQ(keys[0].size(), 32u);
}

TEST_F(PostgresInstancesTest, APhotoRecordedOnOneIsListedAndRemovedOnTheOther) {
  const PhotoEntry photo{NewPhotoId(), "alice", "a.jpg", 10, 5, "image/jpeg", ""};
  {
    UploadRoom room(*a_, std::nullopt);
    ASSERT_EQ(room.Reserve("alice", photo.size), Outcome::kDone);
    ASSERT_EQ(room.Publish(photo), Outcome::kDone);
  }
  PhotoPage page;
  ASSERT_EQ(b_->Photos("alice", 0, 24, page), Outcome::kDone);
  ASSERT_EQ(page.photos.size(), 1u);
  EXPECT_EQ(page.photos[0].id, photo.id);
  PhotoEntry removed;
  ASSERT_EQ(b_->RemovePhoto("alice", photo.id, removed), Outcome::kDone);
  EXPECT_EQ(a_->FindPhoto("alice", photo.id, removed), Outcome::kNotFound);
}

// Six instances started at once on one database; each open state, or its error.
std::vector<std::unique_ptr<LibraryState>> StartSixAtOnce(const std::string& conninfo) {
  std::vector<std::unique_ptr<LibraryState>> states(6);
  std::vector<std::string> errors(6);
  std::vector<std::thread> starts;
  for (int i = 0; i < 6; ++i) {
    starts.emplace_back([&, i] { states[i] = OpenPostgresLibraryState({conninfo, 1, {}, {}}, errors[i]); });
  }
  for (auto& start : starts) start.join();
  for (int i = 0; i < 6; ++i) EXPECT_NE(states[i], nullptr) << errors[i];
  return states;
}

// Instances started at once on an empty database: one makes the tables, the others find them.
TEST(PostgresStartTest, InstancesStartingAtOnceOnAnEmptyDatabaseAllOpen) {
  WHARFLING_NEED_POSTGRES();
  std::string error;
  const std::string conninfo = PrivatePostgresSchema("s_" + RandomHexDigits(6), error);
  ASSERT_NE(conninfo, "") << error;
  for (const auto& state : StartSixAtOnce(conninfo)) {
    AccountUsage usage;
    if (state) {
      EXPECT_EQ(state->Usage("alice", usage), Outcome::kDone);
    }
  }
}

// A database a server of the first schema left (before thumbnail claims), with a photo in it:
// instances starting at once upgrade it once and keep the photo.
TEST(PostgresStartTest, InstancesStartingAtOnceUpgradeADatabaseOfTheFirstSchema) {
  WHARFLING_NEED_POSTGRES();
  std::string error;
  const std::string conninfo = PrivatePostgresSchema("u_" + RandomHexDigits(6), error);
  ASSERT_NE(conninfo, "") << error;
  const PhotoEntry photo{NewPhotoId(), "alice", "a.jpg", 3, 1, "image/jpeg", ""};
  {
    auto state = OpenPostgresLibraryState({conninfo, 1, {}, {}}, error);
    ASSERT_NE(state, nullptr) << error;
    ASSERT_EQ(state->Publish({}, photo), Outcome::kDone);
  }
  {
    PgConnection db(conninfo);
    db.Exec("ALTER TABLE photos DROP COLUMN thumbnail_claimed_until_ms");
    db.Exec("UPDATE parvault_schema SET version = 1");
  }
  const auto states = StartSixAtOnce(conninfo);
  ASSERT_NE(states[0], nullptr);
  ThumbnailTurn turn = ThumbnailTurn::kAnothers;
  ASSERT_EQ(states[0]->ClaimThumbnail("alice", photo.id, 5, turn), Outcome::kDone);
  EXPECT_EQ(turn, ThumbnailTurn::kYours);
  PgConnection db(conninfo);
  EXPECT_EQ(db.Exec("SELECT version FROM parvault_schema").Int(0, 0), kPgSchemaVersion);
}

TEST(PostgresStartTest, ADatabaseItCannotUseIsRefusedWithTheReason) {
  WHARFLING_NEED_POSTGRES();
  std::string error;
  const std::string newer = PrivatePostgresSchema("n_" + RandomHexDigits(6), error);
  ASSERT_NE(newer, "") << error;
  {
    PgConnection db(newer);
    db.Exec("CREATE TABLE parvault_schema (version INTEGER NOT NULL)");
    db.Exec("INSERT INTO parvault_schema VALUES (99)");
  }
  struct Case {
    std::string conninfo, reason;
  };
  for (const Case& c :
       {Case{newer, "newer server"}, Case{"host=/nonexistent/folder user=nobody", "cannot connect"}}) {
    error.clear();
    EXPECT_EQ(OpenPostgresLibraryState({c.conninfo, 1, {}, {}}, error), nullptr) << c.conninfo;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace wharfling::server::state
