#pragma once
// The tables of the SQLite state, created or upgraded at start under the database's write lock, so
// that servers starting together upgrade it once. The step reached is SQLite's user_version.

#include "server/state/sqlite_db.h"

namespace wharfling::server::state {

inline constexpr int kSqliteSchemaVersion = 2;

// Throws SqliteError, also when the database was made by a newer server.
void UpgradeSqliteSchema(SqliteConnection& connection);

}  // namespace wharfling::server::state
