#pragma once
// The PostgreSQL state's tables, created or brought up to date at start. Several instances may start
// at once: the upgrade runs under a transaction-wide advisory lock, so that one makes the tables and
// the others find them made.

#include "server/state/pg_connection.h"

namespace wharfling::server::state {

inline constexpr int kPgSchemaVersion = 2;

// Throws PgError, also for a database whose schema a newer server made.
void UpgradePgSchema(PgConnection& connection);

}  // namespace wharfling::server::state
