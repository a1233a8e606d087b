#pragma once
// One libpq connection, its results and a transaction on it. Every statement is sent with its values
// as separate text parameters, never spliced into the SQL. Failures throw PgError, which carries the
// server's SQLSTATE so that a caller can tell a conflict worth retrying from a real failure.

#include <libpq-fe.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace wharfling::server::state {

class PgError : public std::runtime_error {
 public:
  PgError(std::string sqlstate, const std::string& message)
      : std::runtime_error(message), sqlstate_(std::move(sqlstate)) {}
  const std::string& sqlstate() const { return sqlstate_; }
  // Two transactions met (a serialization failure or a deadlock): running it again may succeed.
  bool Conflict() const { return sqlstate_ == "40001" || sqlstate_ == "40P01"; }

 private:
  std::string sqlstate_;
};

// A statement's value in its text form; sizes past the column's range are clamped to it.
struct PgParam {
  PgParam(std::string_view value) : text(value) {}
  PgParam(const char* value) : text(value) {}
  PgParam(const std::string& value) : text(value) {}
  PgParam(std::int64_t value) : text(std::to_string(value)) {}
  PgParam(std::uint64_t value);
  PgParam(int value) : text(std::to_string(value)) {}
  std::string text;
};

class PgResult {
 public:
  explicit PgResult(PGresult* result) : result_(result, &PQclear) {}
  ExecStatusType Status() const { return PQresultStatus(result_.get()); }
  const char* ErrorField(int field) const { return PQresultErrorField(result_.get(), field); }
  int Rows() const { return PQntuples(result_.get()); }
  std::string Text(int row, int column) const;
  std::int64_t Int(int row, int column) const;
  // A count or a size: never negative.
  std::uint64_t Size(int row, int column) const;
  // Rows a DELETE or UPDATE touched.
  std::uint64_t Affected() const;

 private:
  std::unique_ptr<PGresult, decltype(&PQclear)> result_;
};

class PgConnection {
 public:
  // Connects with a libpq connection string or URI; a password comes from libpq's password or
  // service file, never from here. Throws PgError.
  explicit PgConnection(const std::string& conninfo);
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  PgResult Exec(std::string_view sql, std::initializer_list<PgParam> params = {});
  // Several statements without parameters (the schema's steps).
  void ExecScript(const char* sql);
  // Whether it can take another statement: connected, and no transaction left open.
  bool Reusable() const;

 private:
  std::unique_ptr<PGconn, decltype(&PQfinish)> connection_;
};

// Rolls back unless committed.
class PgTransaction {
 public:
  enum class Kind { kWrite, kSnapshot };
  PgTransaction(PgConnection& connection, Kind kind);
  ~PgTransaction();
  PgTransaction(const PgTransaction&) = delete;
  PgTransaction& operator=(const PgTransaction&) = delete;
  void Commit();

 private:
  PgConnection& connection_;
  bool open_ = true;
};

// A lock for the rest of the transaction on one key of a kind (an account's sessions, an address's
// login failures), so that work on the same key from any instance takes turns.
void LockKey(PgConnection& connection, int kind, std::string_view key);

}  // namespace wharfling::server::state
