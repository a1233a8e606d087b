#pragma once
// Which database keeps the state, from the value of the server's --database: "sqlite:PATH" or a
// PostgreSQL URI ("postgresql://…" or "postgres://…"), and opening the one chosen.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "server/state/library_state.h"
#include "server/state/state_policy.h"

namespace wharfling::server::state {

struct DatabaseChoice {
  enum class Kind { kSqlite, kPostgres };
  Kind kind = Kind::kSqlite;
  std::filesystem::path sqliteFile;  // kSqlite
  std::string conninfo;              // kPostgres: the URI as given
};

// False, with the reason to show beside the usage, for any other form, for a malformed URI, and for
// a URI that carries a password: a command line is visible to every user of the machine, so the
// password belongs in libpq's password file (~/.pgpass, PGPASSFILE) or service file.
bool ParseDatabaseChoice(std::string_view value, DatabaseChoice& choice, std::string& error);

// Without --database: the SQLite file in the storage folder.
DatabaseChoice DefaultDatabaseChoice(const std::filesystem::path& storageFolder);

struct LibraryStateOptions {
  std::size_t connections = 4;
  StatePolicy policy;
  // Where the detail of a failure goes (stderr when empty).
  std::function<void(const std::string&)> log;
};

// Opens (and creates or upgrades) the chosen database; nothing, with error, when it cannot.
std::unique_ptr<LibraryState> OpenLibraryState(const DatabaseChoice& choice,
                                               const LibraryStateOptions& options, std::string& error);

}  // namespace wharfling::server::state
