#include "server/state/sqlite_schema.h"

#include <array>
#include <string>

namespace wharfling::server::state {
namespace {

// Step n takes the schema from version n to n + 1. Steps are only ever added.
constexpr std::array<const char*, kSqliteSchemaVersion> kSteps = {
    R"sql(
CREATE TABLE photos (
  seq INTEGER PRIMARY KEY,
  id TEXT NOT NULL UNIQUE,
  account TEXT NOT NULL,
  stored_name TEXT NOT NULL,
  size INTEGER NOT NULL CHECK (size >= 0),
  uploaded_ms INTEGER NOT NULL,
  content_type TEXT NOT NULL,
  thumbnail TEXT NOT NULL,
  UNIQUE (account, stored_name)
);
-- A gallery page: an account's newest first, read straight off the index.
CREATE INDEX photos_newest ON photos (account, uploaded_ms DESC, seq DESC);
CREATE TABLE usage (
  account TEXT PRIMARY KEY,
  photos INTEGER NOT NULL,
  stored_bytes INTEGER NOT NULL
);
CREATE TABLE reservations (
  id INTEGER PRIMARY KEY,
  account TEXT NOT NULL,
  bytes INTEGER NOT NULL CHECK (bytes >= 0),
  expires_ms INTEGER NOT NULL
);
CREATE INDEX reservations_account ON reservations (account, expires_ms);
CREATE TABLE sessions (
  token_hash TEXT PRIMARY KEY,
  account TEXT NOT NULL,
  last_used_ms INTEGER NOT NULL
);
CREATE INDEX sessions_account ON sessions (account, last_used_ms);
CREATE INDEX sessions_last_used ON sessions (last_used_ms);
CREATE TABLE secrets (
  name TEXT PRIMARY KEY,
  value BLOB NOT NULL
);
-- kind 0: a client address, 1: an account.
CREATE TABLE brake (
  kind INTEGER NOT NULL,
  key TEXT NOT NULL,
  failures INTEGER NOT NULL,
  until_ms INTEGER NOT NULL,
  PRIMARY KEY (kind, key)
);
CREATE TABLE taken_over (
  account TEXT PRIMARY KEY
);
)sql",
    // Until when a request holds the making of the photo's thumbnail (0: nobody).
    R"sql(
ALTER TABLE photos ADD COLUMN thumbnail_claimed_until_ms INTEGER NOT NULL DEFAULT 0;
)sql",
};

int UserVersion(SqliteConnection& connection) {
  auto statement = connection.Prepare("PRAGMA user_version");
  return statement.Step() ? static_cast<int>(statement.Int(0)) : 0;
}

}  // namespace

void UpgradeSqliteSchema(SqliteConnection& connection) {
  SqliteTransaction transaction(connection, SqliteTransaction::Kind::kWrite);
  const int version = UserVersion(connection);
  if (version > kSqliteSchemaVersion) {
    throw SqliteError(SQLITE_ERROR, "the state database was made by a newer server (schema " +
                                        std::to_string(version) + ")");
  }
  for (int step = version; step < kSqliteSchemaVersion; ++step) connection.Execute(kSteps[step]);
  if (version != kSqliteSchemaVersion) {
    connection.Execute(("PRAGMA user_version=" + std::to_string(kSqliteSchemaVersion)).c_str());
  }
  transaction.Commit();
}

}  // namespace wharfling::server::state
