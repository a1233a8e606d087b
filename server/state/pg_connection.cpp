#include "server/state/pg_connection.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

namespace wharfling::server::state {
namespace {

// Each statement ends within this, whatever holds it up (a lock another instance keeps, a stalled
// disk): the call fails instead of hanging its request.
constexpr const char* kSessionSettings =
    "SET statement_timeout = '30s'; SET lock_timeout = '10s'; "
    "SET idle_in_transaction_session_timeout = '60s'; SET client_encoding = 'UTF8'";

void IgnoreNotice(void*, const char*) {}

std::string Trimmed(const char* message) {
  std::string text = message != nullptr ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

PgParam::PgParam(std::uint64_t value)
    : text(std::to_string(std::min<std::uint64_t>(value, std::numeric_limits<std::int64_t>::max()))) {}

std::string PgResult::Text(int row, int column) const {
  const char* value = PQgetvalue(result_.get(), row, column);
  return std::string(value, static_cast<std::size_t>(PQgetlength(result_.get(), row, column)));
}

std::int64_t PgResult::Int(int row, int column) const {
  const char* value = PQgetvalue(result_.get(), row, column);
  const char* end = value + PQgetlength(result_.get(), row, column);
  std::int64_t number = 0;
  const auto parsed = std::from_chars(value, end, number);
  if (parsed.ec != std::errc() || parsed.ptr != end) throw PgError("", "not a number: " + Text(row, column));
  return number;
}

std::uint64_t PgResult::Size(int row, int column) const {
  return static_cast<std::uint64_t>(std::max<std::int64_t>(Int(row, column), 0));
}

std::uint64_t PgResult::Affected() const {
  const char* tuples = PQcmdTuples(result_.get());
  std::uint64_t count = 0;
  std::from_chars(tuples, tuples + std::char_traits<char>::length(tuples), count);
  return count;
}

PgConnection::PgConnection(const std::string& conninfo) : connection_(nullptr, &PQfinish) {
  // A server that does not answer is given up on rather than waited for; what the connection string
  // itself says comes last, and so wins.
  const char* keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
  const char* values[] = {"10", "parvault-server", conninfo.c_str(), nullptr};
  connection_.reset(PQconnectdbParams(keys, values, /*expand_dbname=*/1));
  if (!connection_) throw PgError("", "out of memory connecting to PostgreSQL");
  if (PQstatus(connection_.get()) != CONNECTION_OK) {
    throw PgError("08001", "cannot connect to PostgreSQL: " + Trimmed(PQerrorMessage(connection_.get())));
  }
  PQsetNoticeProcessor(connection_.get(), IgnoreNotice, nullptr);
  PGresult* set = PQexec(connection_.get(), kSessionSettings);
  const bool ok = PQresultStatus(set) == PGRES_COMMAND_OK;
  PQclear(set);
  if (!ok) throw PgError("", "cannot set up the connection: " + Trimmed(PQerrorMessage(connection_.get())));
}

PgResult PgConnection::Exec(std::string_view sql, std::initializer_list<PgParam> params) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& param : params) values.push_back(param.text.c_str());
  const std::string statement(sql);
  PgResult result(PQexecParams(connection_.get(), statement.c_str(), static_cast<int>(values.size()), nullptr,
                               values.data(), nullptr, nullptr, 0));
  const ExecStatusType status = result.Status();
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const char* sqlstate = result.ErrorField(PG_DIAG_SQLSTATE);
    throw PgError(sqlstate != nullptr ? sqlstate : "", Trimmed(PQerrorMessage(connection_.get())));
  }
  return result;
}

void PgConnection::ExecScript(const char* sql) {
  PgResult result(PQexec(connection_.get(), sql));
  if (result.Status() != PGRES_COMMAND_OK && result.Status() != PGRES_TUPLES_OK) {
    const char* sqlstate = result.ErrorField(PG_DIAG_SQLSTATE);
    throw PgError(sqlstate != nullptr ? sqlstate : "", Trimmed(PQerrorMessage(connection_.get())));
  }
}

bool PgConnection::Reusable() const {
  return PQstatus(connection_.get()) == CONNECTION_OK &&
         PQtransactionStatus(connection_.get()) == PQTRANS_IDLE;
}

PgTransaction::PgTransaction(PgConnection& connection, Kind kind) : connection_(connection) {
  connection_.Exec(kind == Kind::kWrite ? "BEGIN" : "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
}

PgTransaction::~PgTransaction() {
  if (!open_) return;
  try {
    connection_.Exec("ROLLBACK");
  } catch (const PgError&) {
    // A connection that cannot roll back is not reusable, and the pool drops it.
  }
}

void PgTransaction::Commit() {
  open_ = false;
  connection_.Exec("COMMIT");
}

void LockKey(PgConnection& connection, int kind, std::string_view key) {
  connection.Exec("SELECT pg_advisory_xact_lock($1::int, hashtext($2))", {kind, key});
}

}  // namespace wharfling::server::state
