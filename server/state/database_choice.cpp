#include "server/state/database_choice.h"

#include <libpq-fe.h>

#include "server/state/postgres_library_state.h"
#include "server/state/sqlite_library_state.h"

namespace wharfling::server::state {
namespace {

constexpr std::string_view kSqlitePrefix = "sqlite:";

bool CheckPostgresUri(const std::string& uri, std::string& error) {
  char* message = nullptr;
  PQconninfoOption* options = PQconninfoParse(uri.c_str(), &message);
  if (options == nullptr) {
    error =
        "--database: not a PostgreSQL URI: " + std::string(message != nullptr ? message : "out of memory");
    while (!error.empty() && error.back() == '\n') error.pop_back();
    PQfreemem(message);
    return false;
  }
  bool password = false;
  for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    if (std::string_view(option->keyword) == "password" && option->val != nullptr) password = true;
  }
  PQconninfoFree(options);
  if (password) {
    error =
        "--database: a password does not belong on the command line, where every user of the machine can "
        "read it; put it in ~/.pgpass (or the file PGPASSFILE names) or in a service file";
    return false;
  }
  return true;
}

}  // namespace

bool ParseDatabaseChoice(std::string_view value, DatabaseChoice& choice, std::string& error) {
  if (value.starts_with(kSqlitePrefix)) {
    const std::string_view path = value.substr(kSqlitePrefix.size());
    if (path.empty()) {
      error = "--database: sqlite: needs the database file's path, as in sqlite:/srv/photos/state.db";
      return false;
    }
    choice = {DatabaseChoice::Kind::kSqlite, std::filesystem::path(path), {}};
    return true;
  }
  if (value.starts_with("postgresql://") || value.starts_with("postgres://")) {
    const std::string uri(value);
    if (!CheckPostgresUri(uri, error)) return false;
    choice = {DatabaseChoice::Kind::kPostgres, {}, uri};
    return true;
  }
  error = "--database takes sqlite:PATH or a postgresql:// URI, not \"" + std::string(value) + "\"";
  return false;
}

DatabaseChoice DefaultDatabaseChoice(const std::filesystem::path& storageFolder) {
  return {DatabaseChoice::Kind::kSqlite, storageFolder / std::string(kSqliteStateFileName), {}};
}

std::unique_ptr<LibraryState> OpenLibraryState(const DatabaseChoice& choice,
                                               const LibraryStateOptions& options, std::string& error) {
  if (choice.kind == DatabaseChoice::Kind::kPostgres) {
    return OpenPostgresLibraryState({choice.conninfo, options.connections, options.policy, options.log},
                                    error);
  }
  SqliteStateOptions sqlite;
  sqlite.file = choice.sqliteFile;
  sqlite.connections = options.connections;
  sqlite.policy = options.policy;
  sqlite.log = options.log;
  return OpenSqliteLibraryState(sqlite, error);
}

}  // namespace wharfling::server::state
