#pragma once
// The state in PostgreSQL, shared by any number of server instances: every rule that must hold
// across them (the quota, the brake's counts, an account's session cap, the one forms' key) is kept
// by the database's transactions and locks, never by a lock of one process.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "server/state/library_state.h"
#include "server/state/state_policy.h"

namespace wharfling::server::state {

struct PostgresStateOptions {
  // A libpq connection string or URI; its password, if any, is in libpq's password or service file.
  std::string conninfo;
  std::size_t connections = 4;  // per instance
  StatePolicy policy;
  // Where the detail of a failure goes (stderr when empty).
  std::function<void(const std::string&)> log;
};

// Connects, and creates or upgrades the tables; nothing and an error when it cannot.
std::unique_ptr<LibraryState> OpenPostgresLibraryState(const PostgresStateOptions& options,
                                                       std::string& error);

}  // namespace wharfling::server::state
