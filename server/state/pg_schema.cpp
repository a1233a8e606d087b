#include "server/state/pg_schema.h"

#include <array>
#include <string>

namespace wharfling::server::state {
namespace {

// The advisory lock's key: the schema's upgrade, whichever instance runs it ("parvault" in ASCII).
constexpr std::int64_t kSchemaLockKey = 0x7061727661756c74;

// Step n takes the schema from version n to n + 1. Steps are only ever added. Names sort by bytes
// (COLLATE "C"), as the start-up's comparison with the folders expects.
constexpr std::array<const char*, kPgSchemaVersion> kSteps = {
    R"sql(
CREATE TABLE photos (
  seq BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  id TEXT NOT NULL UNIQUE,
  account TEXT COLLATE "C" NOT NULL,
  stored_name TEXT COLLATE "C" NOT NULL,
  size BIGINT NOT NULL CHECK (size >= 0),
  uploaded_ms BIGINT NOT NULL,
  content_type TEXT NOT NULL,
  thumbnail TEXT NOT NULL,
  UNIQUE (account, stored_name)
);
-- A gallery page: an account's newest first, read straight off the index.
CREATE INDEX photos_newest ON photos (account, uploaded_ms DESC, seq DESC);
CREATE TABLE usage (
  account TEXT COLLATE "C" PRIMARY KEY,
  photos BIGINT NOT NULL,
  stored_bytes BIGINT NOT NULL
);
CREATE TABLE reservations (
  id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  account TEXT COLLATE "C" NOT NULL,
  bytes BIGINT NOT NULL CHECK (bytes >= 0),
  expires_ms BIGINT NOT NULL
);
CREATE INDEX reservations_account ON reservations (account, expires_ms);
CREATE TABLE sessions (
  seq BIGINT GENERATED ALWAYS AS IDENTITY,
  token_hash TEXT PRIMARY KEY,
  account TEXT COLLATE "C" NOT NULL,
  last_used_ms BIGINT NOT NULL
);
CREATE INDEX sessions_account ON sessions (account, last_used_ms);
CREATE INDEX sessions_last_used ON sessions (last_used_ms);
CREATE TABLE secrets (
  name TEXT PRIMARY KEY,
  value BYTEA NOT NULL
);
-- kind 0: a client address, 1: an account.
CREATE TABLE brake (
  kind SMALLINT NOT NULL,
  key TEXT COLLATE "C" NOT NULL,
  failures INTEGER NOT NULL,
  until_ms BIGINT NOT NULL,
  PRIMARY KEY (kind, key)
);
CREATE TABLE taken_over (
  account TEXT COLLATE "C" PRIMARY KEY
);
)sql",
    // Until when a request holds the making of the photo's thumbnail (0: nobody).
    R"sql(
ALTER TABLE photos ADD COLUMN thumbnail_claimed_until_ms BIGINT NOT NULL DEFAULT 0;
)sql",
};

}  // namespace

void UpgradePgSchema(PgConnection& connection) {
  PgTransaction transaction(connection, PgTransaction::Kind::kWrite);
  connection.Exec("SELECT pg_advisory_xact_lock($1::bigint)", {kSchemaLockKey});
  connection.Exec("CREATE TABLE IF NOT EXISTS parvault_schema (version INTEGER NOT NULL)");
  const PgResult row = connection.Exec("SELECT version FROM parvault_schema");
  const int version = row.Rows() > 0 ? static_cast<int>(row.Int(0, 0)) : 0;
  if (version > kPgSchemaVersion) {
    throw PgError("",
                  "the state database was made by a newer server (schema " + std::to_string(version) + ")");
  }
  for (int step = version; step < kPgSchemaVersion; ++step) connection.ExecScript(kSteps[step]);
  if (version != kPgSchemaVersion) {
    connection.Exec("DELETE FROM parvault_schema");
    connection.Exec("INSERT INTO parvault_schema (version) VALUES ($1)", {kPgSchemaVersion});
  }
  transaction.Commit();
}

}  // namespace wharfling::server::state
