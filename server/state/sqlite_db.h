#pragma once
// A thin layer over SQLite's C interface: a connection with its prepared statements kept, a
// statement with typed binds and columns, and a transaction that rolls back unless committed.
// Failures throw SqliteError inside the SQLite state only; its public calls catch them.

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace wharfling::server::state {

class SqliteError : public std::runtime_error {
 public:
  SqliteError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}
  // Reset when done with, so that no half-read statement holds a snapshot of the database.
  ~SqliteStatement() {
    if (statement_ != nullptr) sqlite3_reset(statement_);
  }
  SqliteStatement(SqliteStatement&& other) noexcept
      : db_(other.db_), statement_(std::exchange(other.statement_, nullptr)) {}
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  SqliteStatement& operator=(SqliteStatement&&) = delete;

  SqliteStatement& Bind(int index, std::int64_t value);
  SqliteStatement& Bind(int index, std::uint64_t value);
  SqliteStatement& Bind(int index, int value) { return Bind(index, static_cast<std::int64_t>(value)); }
  SqliteStatement& Bind(int index, std::string_view text);
  SqliteStatement& BindBlob(int index, std::string_view bytes);
  // True while there is a row to read.
  bool Step();
  // Runs a statement that returns no rows.
  void Run();
  std::int64_t Int(int column) const;
  std::uint64_t Size(int column) const;  // a count or size, never negative
  std::string Text(int column) const;
  std::string Blob(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_;
};

class SqliteConnection {
 public:
  // Opens (creating it when missing) the database file, never through a symbolic link, with a busy
  // time-out and write-ahead logging.
  SqliteConnection(const std::filesystem::path& file, std::chrono::milliseconds busyTimeout);
  ~SqliteConnection();
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  // The statement of that SQL, prepared once per connection and reset for this use.
  SqliteStatement Prepare(std::string_view sql);
  // Runs statements that take no parameters.
  void Execute(const char* sql);
  sqlite3* handle() { return db_; }

 private:
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

// BEGIN IMMEDIATE (the write lock is taken now, waiting out the busy time-out) or a read snapshot.
class SqliteTransaction {
 public:
  enum class Kind { kWrite, kRead };
  SqliteTransaction(SqliteConnection& connection, Kind kind);
  ~SqliteTransaction();
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;
  void Commit();

 private:
  SqliteConnection& connection_;
  bool open_ = true;
};

}  // namespace wharfling::server::state
