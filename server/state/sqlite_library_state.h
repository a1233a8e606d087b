#pragma once
// The state in one SQLite file in the storage folder: write-ahead logging so that pages read while
// an upload is recorded, a few pooled connections, and a busy time-out for writers that meet.
// One server per database file: a lock beside it ("<file>.lock") keeps a second one off.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "server/state/library_state.h"
#include "server/state/state_policy.h"

namespace wharfling::server::state {

// In the storage folder; hidden, so no account (whose names never start with a dot) can take it.
inline constexpr std::string_view kSqliteStateFileName = ".parvault-state.db";

struct SqliteStateOptions {
  std::filesystem::path file;
  std::size_t connections = 4;
  std::chrono::milliseconds busyTimeout{5000};
  StatePolicy policy;
  // Where the detail of a failure goes (stderr when empty).
  std::function<void(const std::string&)> log;
};

// Opens the state, creating or upgrading its tables. A file in its place that is no database, or a
// damaged one, is moved aside (to "<file>.unreadable-<ms>") and a new one begun, whose photo
// records the start-up rebuilds from the folders. Any other failure (no permission, a disk error)
// leaves the file as it is and answers nothing, with error.
std::unique_ptr<LibraryState> OpenSqliteLibraryState(const SqliteStateOptions& options, std::string& error);

}  // namespace wharfling::server::state
