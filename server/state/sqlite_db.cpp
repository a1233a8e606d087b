#include "server/state/sqlite_db.h"

#include <limits>

namespace wharfling::server::state {
namespace {

[[noreturn]] void Fail(sqlite3* db, int code, std::string_view doing) {
  const char* detail = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  throw SqliteError(code, std::string(doing) + ": " + detail);
}

void Check(sqlite3* db, int code, std::string_view doing) {
  if (code != SQLITE_OK) Fail(db, code, doing);
}

}  // namespace

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value) {
  Check(db_, sqlite3_bind_int64(statement_, index, value), "bind");
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::uint64_t value) {
  if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    throw SqliteError(SQLITE_RANGE, "a number too large to keep");
  }
  return Bind(index, static_cast<std::int64_t>(value));
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view text) {
  Check(db_, sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
        "bind");
  return *this;
}

SqliteStatement& SqliteStatement::BindBlob(int index, std::string_view bytes) {
  Check(db_, sqlite3_bind_blob64(statement_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT), "bind");
  return *this;
}

bool SqliteStatement::Step() {
  const int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  Fail(db_, code, "step");
}

void SqliteStatement::Run() {
  while (Step()) {
  }
}

std::int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

std::uint64_t SqliteStatement::Size(int column) const {
  const std::int64_t value = Int(column);
  return value < 0 ? 0 : static_cast<std::uint64_t>(value);
}

std::string SqliteStatement::Text(int column) const {
  const auto* text = sqlite3_column_text(statement_, column);
  const int length = sqlite3_column_bytes(statement_, column);
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text), length);
}

std::string SqliteStatement::Blob(int column) const {
  const void* bytes = sqlite3_column_blob(statement_, column);
  const int length = sqlite3_column_bytes(statement_, column);
  return bytes == nullptr ? std::string() : std::string(static_cast<const char*>(bytes), length);
}

SqliteConnection::SqliteConnection(const std::filesystem::path& file, std::chrono::milliseconds busyTimeout) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
  const int code = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
  if (code != SQLITE_OK) {
    const std::string detail = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
    sqlite3_close(db_);
    db_ = nullptr;
    throw SqliteError(code, "cannot open " + file.string() + ": " + detail);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, static_cast<int>(busyTimeout.count()));
  // NORMAL under WAL: a commit is never half there; a power cut may lose the last few, which the
  // start-up's look at the folders makes good for photos.
  try {
    Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
  } catch (...) {
    sqlite3_close(db_);  // no destructor runs for a constructor that throws
    throw;
  }
}

SqliteConnection::~SqliteConnection() {
  for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
  sqlite3_close(db_);
}

SqliteStatement SqliteConnection::Prepare(std::string_view sql) {
  auto found = statements_.find(std::string(sql));
  if (found == statements_.end()) {
    sqlite3_stmt* statement = nullptr;
    Check(db_,
          sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                             &statement, nullptr),
          "prepare");
    found = statements_.emplace(std::string(sql), statement).first;
  }
  sqlite3_reset(found->second);
  sqlite3_clear_bindings(found->second);
  return SqliteStatement(db_, found->second);
}

void SqliteConnection::Execute(const char* sql) {
  char* message = nullptr;
  const int code = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  if (code != SQLITE_OK) {
    const std::string detail = message != nullptr ? message : sqlite3_errstr(code);
    sqlite3_free(message);
    throw SqliteError(code, detail);
  }
}

SqliteTransaction::SqliteTransaction(SqliteConnection& connection, Kind kind) : connection_(connection) {
  connection_.Execute(kind == Kind::kWrite ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED");
}

SqliteTransaction::~SqliteTransaction() {
  if (open_) sqlite3_exec(connection_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteTransaction::Commit() {
  connection_.Execute("COMMIT");
  open_ = false;
}

}  // namespace wharfling::server::state
