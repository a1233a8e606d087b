#pragma once
// The statements the PostgreSQL state's calls share: a photo's row, an account's usage and its lock,
// writing and dropping a record with its usage, a kept secret, and the login brake's counts. Each
// runs inside the caller's transaction and throws PgError.

#include <cstdint>
#include <string>
#include <string_view>

#include "server/state/library_state.h"
#include "server/state/pg_connection.h"
#include "server/state/state_policy.h"
#include "server/state/state_rows.h"

namespace wharfling::server::state {

// A row of kPhotoColumns.
PhotoEntry ReadPgPhoto(const PgResult& rows, int row);

// Locks the account's usage row (made when missing) until the transaction ends: every change of the
// account's records or holds takes it first.
void LockPgUsage(PgConnection& db, std::string_view account);
AccountUsage ReadPgUsage(PgConnection& db, std::string_view account);
// Counts the account's totals afresh from its records.
void RecountPgUsage(PgConnection& db, std::string_view account);

// The record and its account's usage, together.
void InsertPgRecord(PgConnection& db, const PhotoEntry& photo);
void DeletePgRecord(PgConnection& db, const PhotoEntry& photo);
// The record alone; with skipTakenName a name the account has already is left as it is.
void InsertPgRow(PgConnection& db, const PhotoEntry& photo, bool skipTakenName);

// The secret's bytes, "" when none is kept.
std::string ReadPgSecret(PgConnection& db, std::string_view name);

BrakeCount PgBrakeRow(PgConnection& db, int kind, std::string_view key);
// One more failure of the key, and the wait it now costs; the table stays within maxTracked keys of
// each kind.
void CountPgFailure(PgConnection& db, int kind, std::string_view key, int freeFailures,
                    const BrakePolicy& policy, std::int64_t nowMs);

}  // namespace wharfling::server::state
