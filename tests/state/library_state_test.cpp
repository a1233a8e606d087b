// What holds for the server's state whichever database keeps it: one suite, one row per back end.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <latch>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/state/library_state.h"
#include "server/state/pg_rows.h"
#include "server/state/postgres_library_state.h"
#include "server/state/sqlite_library_state.h"
#include "server/state/state_policy.h"
#include "server/state/state_tokens.h"
#include "server/state/upload_room.h"
#include "tests/state/private_postgres.h"
#include "tests/support/temp_dir.h"

namespace wharfling::server::state {
namespace {

using ::wharfling::testing::PrivatePostgresSchema;
using ::wharfling::testing::TempDir;
using Opener =
    std::function<std::unique_ptr<LibraryState>(const std::filesystem::path& folder, const StatePolicy&)>;

struct Backend {
  const char* name;
  Opener open;
  bool needsPostgres = false;
};
void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

std::unique_ptr<LibraryState> OpenSqlite(const std::filesystem::path& folder, const StatePolicy& policy) {
  SqliteStateOptions options;
  options.file = folder / std::string(kSqliteStateFileName);
  options.policy = policy;
  options.connections = 8;
  std::string error;
  auto state = OpenSqliteLibraryState(options, error);
  EXPECT_NE(state, nullptr) << error;
  return state;
}

// A schema of the private cluster's per test folder, so that a reopened state finds its tables.
std::unique_ptr<LibraryState> OpenPostgres(const std::filesystem::path& folder, const StatePolicy& policy) {
  std::string error;
  const std::string conninfo = PrivatePostgresSchema("t_" + HexOf(folder.filename().string()), error);
  EXPECT_NE(conninfo, "") << error;
  auto state = OpenPostgresLibraryState({conninfo, 8, policy, {}}, error);
  EXPECT_NE(state, nullptr) << error;
  return state;
}

PhotoEntry Photo(std::string account, std::string name, std::uint64_t size, std::int64_t uploadedMs) {
  return {NewPhotoId(), std::move(account), std::move(name), size, uploadedMs, "image/jpeg", ""};
}

class LibraryStateTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (GetParam().needsPostgres) WHARFLING_NEED_POSTGRES();
    Reopen();
  }
  void Reopen() {
    state_.reset();
    state_ = GetParam().open(dir_.path(), policy_);
    ASSERT_NE(state_, nullptr);
  }
  // Records a photo as an upload does: room first, then the record.
  Outcome Store(const PhotoEntry& photo, std::optional<std::uint64_t> quota = std::nullopt) {
    UploadRoom room(*state_, quota);
    const Outcome reserved = room.Reserve(photo.account, photo.size);
    return reserved == Outcome::kDone ? room.Publish(photo) : reserved;
  }
  AccountUsage UsageOf(std::string_view account) {
    AccountUsage usage;
    EXPECT_EQ(state_->Usage(account, usage), Outcome::kDone);
    return usage;
  }

  TempDir dir_;
  StatePolicy policy_;
  std::unique_ptr<LibraryState> state_;
};

TEST_P(LibraryStateTest, PagesListTheNewestFirstWithTheAccountsTotals) {
  for (int i = 0; i < 30; ++i) {
    ASSERT_EQ(Store(Photo("alice", "p" + std::to_string(i) + ".jpg", 100 + i, 1000 + i / 2)), Outcome::kDone);
  }
  ASSERT_EQ(Store(Photo("bob", "b.jpg", 7, 5000)), Outcome::kDone);
  PhotoPage first, second;
  ASSERT_EQ(state_->Photos("alice", 0, 24, first), Outcome::kDone);
  ASSERT_EQ(state_->Photos("alice", 24, 24, second), Outcome::kDone);
  ASSERT_EQ(first.photos.size(), 24u);
  ASSERT_EQ(second.photos.size(), 6u);
  // Photos of one millisecond keep the order they were recorded in.
  EXPECT_EQ(first.photos.front().storedName, "p29.jpg");
  EXPECT_EQ(first.photos[1].storedName, "p28.jpg");
  EXPECT_EQ(second.photos.back().storedName, "p0.jpg");
  EXPECT_EQ(first.usage.photos, 30u);
  EXPECT_EQ(first.usage.storedBytes, 30u * 100 + 29 * 30 / 2);
  EXPECT_EQ(first.usage.reservedBytes, 0u);
}

TEST_P(LibraryStateTest, APhotoIsFoundOnlyByItsOwnAccount) {
  const PhotoEntry photo = Photo("alice", "a.jpg", 10, 1);
  ASSERT_EQ(Store(photo), Outcome::kDone);
  PhotoEntry found;
  EXPECT_EQ(state_->FindPhoto("bob", photo.id, found), Outcome::kNotFound);
  EXPECT_EQ(state_->SetThumbnail("bob", photo.id, ".thumb.jpg"), Outcome::kNotFound);
  EXPECT_EQ(state_->RemovePhoto("bob", photo.id, found), Outcome::kNotFound);
  ASSERT_EQ(state_->SetThumbnail("alice", photo.id, ".thumb.jpg"), Outcome::kDone);
  ASSERT_EQ(state_->FindPhoto("alice", photo.id, found), Outcome::kDone);
  EXPECT_EQ(found.thumbnail, ".thumb.jpg");
  EXPECT_EQ(found.storedName, "a.jpg");
  ASSERT_EQ(state_->RemovePhoto("alice", photo.id, found), Outcome::kDone);
  EXPECT_EQ(found.size, 10u);
  EXPECT_EQ(UsageOf("alice").photos, 0u);
  EXPECT_EQ(UsageOf("alice").storedBytes, 0u);
  EXPECT_EQ(state_->FindPhoto("alice", photo.id, found), Outcome::kNotFound);
}

TEST_P(LibraryStateTest, ANameTakenAgainReplacesTheRecordOfTheFileThatWentByHand) {
  const PhotoEntry old = Photo("alice", "a.jpg", 10, 1);
  ASSERT_EQ(Store(old), Outcome::kDone);
  ASSERT_EQ(Store(Photo("alice", "a.jpg", 25, 2)), Outcome::kDone);
  PhotoEntry found;
  EXPECT_EQ(state_->FindPhoto("alice", old.id, found), Outcome::kNotFound);
  EXPECT_EQ(UsageOf("alice").photos, 1u);
  EXPECT_EQ(UsageOf("alice").storedBytes, 25u);
}

// A missing thumbnail is made by the request that claims it: others are told to wait while the
// claim holds and take it over once it has run out (its server died while making it).
TEST_P(LibraryStateTest, AThumbnailIsClaimedByOneRequestUntilItsLeaseRunsOut) {
  const PhotoEntry photo = Photo("alice", "a.jpg", 10, 1);
  ASSERT_EQ(Store(photo), Outcome::kDone);
  const std::int64_t lease = policy_.thumbnailLease.count();
  struct Step {
    const char* account;
    std::int64_t nowMs;
    std::optional<ThumbnailTurn> turn;  // none: not found
  };
  for (const Step& step :
       {Step{"alice", 1000, ThumbnailTurn::kYours}, Step{"alice", 1000 + lease - 1, ThumbnailTurn::kAnothers},
        Step{"bob", 1000 + lease, std::nullopt}, Step{"alice", 1000 + lease, ThumbnailTurn::kYours},
        Step{"alice", 1001 + lease, ThumbnailTurn::kAnothers}}) {
    ThumbnailTurn turn = ThumbnailTurn::kNoPicture;
    const Outcome outcome = state_->ClaimThumbnail(step.account, photo.id, step.nowMs, turn);
    EXPECT_EQ(outcome, step.turn ? Outcome::kDone : Outcome::kNotFound) << step.account << step.nowMs;
    if (step.turn) {
      EXPECT_EQ(turn, *step.turn) << step.nowMs;
    }
  }
  // Given back (a stop cut the making short), or ended by the thumbnail's record: free at once.
  ThumbnailTurn turn = ThumbnailTurn::kAnothers;
  ASSERT_EQ(state_->ReleaseThumbnail("alice", photo.id), Outcome::kDone);
  ASSERT_EQ(state_->ClaimThumbnail("alice", photo.id, 2000, turn), Outcome::kDone);
  EXPECT_EQ(turn, ThumbnailTurn::kYours);
  ASSERT_EQ(state_->SetThumbnail("alice", photo.id, kNoThumbnail), Outcome::kDone);
  ASSERT_EQ(state_->ClaimThumbnail("alice", photo.id, 2000, turn), Outcome::kDone);
  EXPECT_EQ(turn, ThumbnailTurn::kNoPicture) << "bytes that make no picture are not tried again";
  PhotoEntry removed;
  ASSERT_EQ(state_->RemovePhoto("alice", photo.id, removed), Outcome::kDone);
  EXPECT_EQ(state_->ClaimThumbnail("alice", photo.id, 3000, turn), Outcome::kNotFound);
  EXPECT_EQ(state_->ReleaseThumbnail("alice", photo.id), Outcome::kNotFound);
}

TEST_P(LibraryStateTest, OfManyRequestsClaimingAThumbnailAtOnceOneMakesIt) {
  const PhotoEntry photo = Photo("alice", "a.jpg", 10, 1);
  ASSERT_EQ(Store(photo), Outcome::kDone);
  std::atomic<int> yours{0}, waiting{0};
  std::latch start(16);
  std::vector<std::thread> requests;
  for (int i = 0; i < 16; ++i) {
    requests.emplace_back([&] {
      start.arrive_and_wait();
      ThumbnailTurn turn = ThumbnailTurn::kNoPicture;
      ASSERT_EQ(state_->ClaimThumbnail("alice", photo.id, 5000, turn), Outcome::kDone);
      (turn == ThumbnailTurn::kYours ? yours : waiting)++;
    });
  }
  for (auto& request : requests) request.join();
  EXPECT_EQ(yours.load(), 1);
  EXPECT_EQ(waiting.load(), 15);
}

TEST_P(LibraryStateTest, AHoldIsSettledToTheFilesSizeOrGivenBack) {
  {
    UploadRoom room(*state_, 1000);
    ASSERT_EQ(room.Reserve("alice", 900), Outcome::kDone);
    EXPECT_EQ(UsageOf("alice").reservedBytes, 900u);
    ASSERT_EQ(room.Publish(Photo("alice", "a.jpg", 300, 1)), Outcome::kDone);
  }
  EXPECT_EQ(UsageOf("alice").reservedBytes, 0u);
  EXPECT_EQ(UsageOf("alice").storedBytes, 300u);
  {
    UploadRoom dropped(*state_, 1000);
    ASSERT_EQ(dropped.Reserve("alice", 700), Outcome::kDone);
    UploadRoom refused(*state_, 1000);
    EXPECT_EQ(refused.Reserve("alice", 1), Outcome::kOverQuota);
  }  // dropped half-way: its room comes back
  EXPECT_EQ(UsageOf("alice").reservedBytes, 0u);
  UploadRoom again(*state_, 1000);
  EXPECT_EQ(again.Reserve("alice", 700), Outcome::kDone);
}

TEST_P(LibraryStateTest, ABodyOfUnknownLengthGrowsItsHoldUpToTheQuota) {
  const std::uint64_t quota = 3 * UploadRoom::kGrowStep + 10;
  UploadRoom room(*state_, quota);
  ASSERT_EQ(room.Reserve("alice", 0), Outcome::kDone);
  ASSERT_EQ(room.Cover(10), Outcome::kDone);
  EXPECT_EQ(room.held(), UploadRoom::kGrowStep);  // a step ahead, not a write per read
  ASSERT_EQ(room.Cover(3 * UploadRoom::kGrowStep + 5),
            Outcome::kDone);  // the step does not fit; the bytes do
  EXPECT_EQ(room.held(), 3 * UploadRoom::kGrowStep + 5);
  EXPECT_EQ(room.Cover(quota + 1), Outcome::kOverQuota);
}

// Twenty uploads of 1 MB at once against a 10 MB quota, half declaring their length and half
// growing as they go, all holding their room before any is published: what is stored never passes
// the quota, and no room stays held.
TEST_P(LibraryStateTest, ParallelUploadsNeverPassTheQuota) {
  constexpr std::uint64_t kQuota = 10'000'000;
  constexpr std::uint64_t kFile = 1'000'000;
  constexpr int kUploads = 20;
  std::atomic<int> stored{0};
  std::latch allHeld(kUploads);
  std::vector<std::thread> uploads;
  for (int i = 0; i < kUploads; ++i) {
    uploads.emplace_back([&, i] {
      UploadRoom room(*state_, kQuota);
      const bool declared = i % 2 == 0;
      bool held = room.Reserve("alice", declared ? kFile : 0) == Outcome::kDone;
      for (std::uint64_t got = 64 * 1024; held && !declared && got < kFile + 64 * 1024; got += 64 * 1024) {
        held = room.Cover(std::min(got, kFile)) == Outcome::kDone;
      }
      allHeld.arrive_and_wait();
      if (held &&
          room.Publish(Photo("alice", "p" + std::to_string(i) + ".jpg", kFile, i)) == Outcome::kDone) {
        ++stored;
      }
    });
  }
  for (auto& upload : uploads) upload.join();
  const AccountUsage usage = UsageOf("alice");
  EXPECT_LE(usage.storedBytes, kQuota);
  EXPECT_EQ(usage.storedBytes, static_cast<std::uint64_t>(stored.load()) * kFile);
  EXPECT_EQ(usage.reservedBytes, 0u);
  EXPECT_GE(stored.load(), 8);  // growing holds run a step ahead, so some of the room may go unused
}

// 32 wrong guesses at once: each is counted before its hash would run, so no more are let through
// than the brake's free failures.
TEST_P(LibraryStateTest, ParallelGuessesAreCountedBeforeTheyAreChecked) {
  struct Case {
    const char* account;
    int checked;
  };
  for (const Case c :
       {Case{"alice", policy_.brake.accountFreeFailures}, Case{"", policy_.brake.addressFreeFailures}}) {
    const std::string address = std::string("192.0.2.") + (c.account[0] != '\0' ? "1" : "2");
    std::atomic<int> checked{0}, held{0};
    std::vector<std::thread> guesses;
    for (int i = 0; i < 32; ++i) {
      guesses.emplace_back([&] {
        GuessVerdict verdict;
        ASSERT_EQ(state_->CountGuess(address, c.account, 1'000'000, verdict), Outcome::kDone);
        (verdict.mayCheck ? checked : held)++;
        if (!verdict.mayCheck) {
          EXPECT_GT(verdict.wait.count(), 0);
        }
      });
    }
    for (auto& guess : guesses) guess.join();
    EXPECT_EQ(checked.load(), c.checked) << "account '" << c.account << "'";
    EXPECT_EQ(held.load(), 32 - c.checked);
  }
}

TEST_P(LibraryStateTest, ARightPasswordClearsTheBrakeAndTheWaitRunsOut) {
  GuessVerdict verdict;
  for (int i = 0; i < policy_.brake.accountFreeFailures; ++i) {
    ASSERT_EQ(state_->CountGuess("192.0.2.1", "alice", 0, verdict), Outcome::kDone);
  }
  ASSERT_EQ(state_->CountGuess("192.0.2.9", "alice", 0, verdict), Outcome::kDone);
  EXPECT_FALSE(verdict.mayCheck);  // held for the account, from any address
  EXPECT_EQ(verdict.wait, policy_.brake.firstWait);
  ASSERT_EQ(state_->CountGuess("192.0.2.9", "alice", policy_.brake.firstWait.count(), verdict),
            Outcome::kDone);
  EXPECT_TRUE(verdict.mayCheck);
  ASSERT_EQ(state_->ClearGuesses("192.0.2.9", "alice"), Outcome::kDone);
  ASSERT_EQ(state_->CountGuess("192.0.2.9", "alice", policy_.brake.firstWait.count(), verdict),
            Outcome::kDone);
  EXPECT_TRUE(verdict.mayCheck);
}

TEST_P(LibraryStateTest, OneAccountsSignInsDropOnlyItsOwnOldestSessions) {
  policy_.sessionsPerAccount = 3;
  Reopen();
  std::string bobToken;
  ASSERT_EQ(state_->OpenSession("bob", 0, bobToken), Outcome::kDone);
  std::vector<std::string> alice(5);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(state_->OpenSession("alice", 1 + i, alice[i]), Outcome::kDone);
  std::string account;
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(state_->FindSession(alice[i], 10, account), i < 2 ? Outcome::kNotFound : Outcome::kDone) << i;
  }
  ASSERT_EQ(state_->FindSession(bobToken, 10, account), Outcome::kDone);
  EXPECT_EQ(account, "bob");
}

TEST_P(LibraryStateTest, ASessionEndsAfterItsIdleTimeOrAtSignOut) {
  const std::int64_t idle = policy_.sessionIdleLimit.count();
  const std::int64_t touch = policy_.sessionTouchEvery.count();
  std::string kept, idleToken, closed, account;
  ASSERT_EQ(state_->OpenSession("alice", 0, kept), Outcome::kDone);
  ASSERT_EQ(state_->OpenSession("alice", 0, idleToken), Outcome::kDone);
  ASSERT_EQ(state_->OpenSession("alice", 0, closed), Outcome::kDone);
  // A use keeps it alive (uses closer together than the touch interval are not written).
  ASSERT_EQ(state_->FindSession(kept, touch, account), Outcome::kDone);
  EXPECT_EQ(state_->FindSession(kept, touch + idle, account), Outcome::kDone);
  EXPECT_EQ(state_->FindSession(idleToken, idle + 1, account), Outcome::kNotFound);
  ASSERT_EQ(state_->CloseSession(closed), Outcome::kDone);
  EXPECT_EQ(state_->FindSession(closed, 1, account), Outcome::kNotFound);
  EXPECT_EQ(state_->FindSession("not-a-token", 1, account), Outcome::kNotFound);
}

TEST_P(LibraryStateTest, ARestartKeepsSessionsAndTheFormsKey) {
  std::string token, key;
  ASSERT_EQ(state_->OpenSession("alice", 5, token), Outcome::kDone);
  ASSERT_EQ(state_->CsrfKey(key), Outcome::kDone);
  EXPECT_EQ(key.size(), 32u);
  Reopen();
  std::string account, keyAfter;
  ASSERT_EQ(state_->FindSession(token, 6, account), Outcome::kDone);
  EXPECT_EQ(account, "alice");
  ASSERT_EQ(state_->CsrfKey(keyAfter), Outcome::kDone);
  EXPECT_EQ(keyAfter, key);
}

INSTANTIATE_TEST_SUITE_P(Backends, LibraryStateTest,
                         ::testing::Values(Backend{"sqlite", OpenSqlite},
                                           Backend{"postgres", OpenPostgres, true}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(BrakePolicyTest, TheWaitDoublesPastTheFreeFailuresUpToTheLongest) {
  const BrakePolicy policy;  // 1 s first, 60 s longest
  struct Case {
    int failures, freeFailures;
    std::int64_t wait;  // 0: none
  };
  for (const Case c : {Case{4, 5, 0}, Case{5, 5, 1000}, Case{6, 5, 2000}, Case{10, 5, 32000},
                       Case{11, 5, 60000}, Case{1000, 5, 60000}, Case{9, 10, 0}, Case{10, 10, 1000}}) {
    const std::int64_t until = BrakeUntilMs(c.failures, c.freeFailures, policy, 500);
    EXPECT_EQ(until == 0 ? 0 : until - 500, c.wait) << c.failures << " of " << c.freeFailures << " free";
  }
}

}  // namespace
}  // namespace wharfling::server::state
