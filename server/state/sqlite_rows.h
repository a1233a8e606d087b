#pragma once
// The statements the SQLite state's calls share: a photo's row, an account's usage, writing and
// dropping a record with its usage, and the login brake's counts. Each runs inside the caller's
// transaction and throws SqliteError.

#include <cstdint>
#include <string_view>

#include "server/state/library_state.h"
#include "server/state/sqlite_db.h"
#include "server/state/state_policy.h"
#include "server/state/state_rows.h"

namespace wharfling::server::state {

// A row of kPhotoColumns.
PhotoEntry ReadPhoto(const SqliteStatement& row);

AccountUsage ReadUsage(SqliteConnection& db, std::string_view account);
// The record and its account's usage, together.
void InsertRecord(SqliteConnection& db, const PhotoEntry& photo);
void DeleteRecord(SqliteConnection& db, const PhotoEntry& photo);
// The record alone; with skipTakenName a name the account has already is left as it is.
void InsertRow(SqliteConnection& db, const PhotoEntry& photo, bool skipTakenName);

BrakeCount BrakeRow(SqliteConnection& db, int kind, std::string_view key);
// One more failure of the key, and the wait it now costs; the table stays within maxTracked keys
// of each kind.
void CountFailure(SqliteConnection& db, int kind, std::string_view key, int freeFailures,
                  const BrakePolicy& policy, std::int64_t nowMs);

}  // namespace wharfling::server::state
