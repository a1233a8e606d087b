// Moving a library between databases: every pair of back ends, ids, order and sign-ins kept, and a
// target that holds another library left alone.

#include "server/state/library_copy.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "server/state/pg_rows.h"
#include "server/state/postgres_library_state.h"
#include "server/state/sqlite_library_state.h"
#include "server/state/state_tokens.h"
#include "server/state/upload_room.h"
#include "tests/state/private_postgres.h"
#include "tests/support/temp_dir.h"

namespace wharfling::server::state {
namespace {

using ::wharfling::testing::TempDir;

enum class Db { kSqlite, kPostgres };

struct CopyCase {
  const char* name;
  Db from, to;
};
void PrintTo(const CopyCase& c, std::ostream* out) { *out << c.name; }

class LibraryCopyTest : public ::testing::TestWithParam<CopyCase> {
 protected:
  void SetUp() override {
    if (GetParam().from == Db::kPostgres || GetParam().to == Db::kPostgres) WHARFLING_NEED_POSTGRES();
  }
  // A fresh database of the kind; `slot` tells two of one kind apart.
  std::unique_ptr<LibraryState> Open(Db kind, int slot) {
    std::string error;
    std::unique_ptr<LibraryState> state;
    if (kind == Db::kSqlite) {
      SqliteStateOptions options;
      options.file = dir_.path() / ("state" + std::to_string(slot) + ".db");
      state = OpenSqliteLibraryState(options, error);
    } else {
      const std::string conninfo = ::wharfling::testing::PrivatePostgresSchema(
          "c_" + HexOf(dir_.path().filename().string()) + std::to_string(slot), error);
      if (!conninfo.empty()) state = OpenPostgresLibraryState({conninfo, 2, {}, {}}, error);
    }
    EXPECT_NE(state, nullptr) << error;
    return state;
  }
  static void Store(LibraryState& state, const PhotoEntry& photo) {
    UploadRoom room(state, std::nullopt);
    ASSERT_EQ(room.Reserve(photo.account, photo.size), Outcome::kDone);
    ASSERT_EQ(room.Publish(photo), Outcome::kDone);
  }

  TempDir dir_;
};

TEST_P(LibraryCopyTest, TheCopyKeepsIdsOrderSessionsAndTheKey) {
  auto from = Open(GetParam().from, 1);
  auto to = Open(GetParam().to, 2);
  ASSERT_TRUE(from && to);
  // More than one batch, photos of one millisecond among them (their order is the recording's).
  std::vector<PhotoEntry> photos;
  for (int i = 0; i < 2500; ++i) {
    photos.push_back({NewPhotoId(), i % 5 == 0 ? "bob" : "alice", "IMG_" + std::to_string(i) + ".jpg",
                      static_cast<std::uint64_t>(100 + i), 1000 + i / 3, "image/jpeg",
                      i % 2 ? ".t.jpg" : ""});
  }
  ASSERT_EQ(from->ApplyFolderChanges("alice", {}), Outcome::kDone);  // alice's old index taken over
  for (const auto& photo : photos) Store(*from, photo);
  std::string token, key;
  ASSERT_EQ(from->OpenSession("alice", 50, token), Outcome::kDone);
  ASSERT_EQ(from->CsrfKey(key), Outcome::kDone);

  CopySummary summary;
  std::string error;
  ASSERT_TRUE(CopyLibraryState(*from, *to, summary, error)) << error;
  EXPECT_EQ(summary.photos, 2500u);
  EXPECT_EQ(summary.sessions, 1u);
  EXPECT_FALSE(summary.alreadyThere);

  for (const char* account : {"alice", "bob"}) {
    PhotoPage ours, theirs;
    ASSERT_EQ(from->Photos(account, 0, 3000, ours), Outcome::kDone);
    ASSERT_EQ(to->Photos(account, 0, 3000, theirs), Outcome::kDone);
    ASSERT_EQ(ours.photos.size(), theirs.photos.size());
    for (std::size_t i = 0; i < ours.photos.size(); ++i) {
      EXPECT_EQ(ours.photos[i].id, theirs.photos[i].id) << i;
      EXPECT_EQ(ours.photos[i].thumbnail, theirs.photos[i].thumbnail) << i;
    }
    EXPECT_EQ(ours.usage.photos, theirs.usage.photos);
    EXPECT_EQ(ours.usage.storedBytes, theirs.usage.storedBytes);
  }
  std::string account, copiedKey;
  ASSERT_EQ(to->FindSession(token, 60, account), Outcome::kDone);
  EXPECT_EQ(account, "alice");
  ASSERT_EQ(to->CsrfKey(copiedKey), Outcome::kDone);
  EXPECT_EQ(copiedKey, key);
  bool takenOver = false;
  ASSERT_EQ(to->TakenOver("alice", takenOver), Outcome::kDone);
  EXPECT_TRUE(takenOver);

  // Run again, it finds its own copy; a target with anything else is refused and left as it is.
  ASSERT_TRUE(CopyLibraryState(*from, *to, summary, error)) << error;
  EXPECT_TRUE(summary.alreadyThere);
  Store(*to, {NewPhotoId(), "carol", "c.jpg", 1, 1, "image/jpeg", ""});
  EXPECT_FALSE(CopyLibraryState(*from, *to, summary, error));
  EXPECT_NE(error.find("another library"), std::string::npos) << error;
  AccountUsage carol;
  ASSERT_EQ(to->Usage("carol", carol), Outcome::kDone);
  EXPECT_EQ(carol.photos, 1u);
}

INSTANTIATE_TEST_SUITE_P(Pairs, LibraryCopyTest,
                         ::testing::Values(CopyCase{"sqlite_to_postgres", Db::kSqlite, Db::kPostgres},
                                           CopyCase{"postgres_to_sqlite", Db::kPostgres, Db::kSqlite},
                                           CopyCase{"sqlite_to_sqlite", Db::kSqlite, Db::kSqlite}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace wharfling::server::state
