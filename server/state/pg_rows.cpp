#include "server/state/pg_rows.h"

namespace wharfling::server::state {
namespace {

// Full: forget whoever no longer has to wait; failing that, everyone of that kind (the brake
// loosens, the table does not grow).
void MakeRoom(PgConnection& db, int kind, std::uint64_t limit, std::int64_t nowMs) {
  const auto tracked = [&] {
    return db.Exec("SELECT count(*) FROM brake WHERE kind = $1", {kind}).Size(0, 0);
  };
  if (tracked() < limit) return;
  db.Exec("DELETE FROM brake WHERE kind = $1 AND until_ms <= $2", {kind, nowMs});
  if (tracked() >= limit) db.Exec("DELETE FROM brake WHERE kind = $1", {kind});
}

int HexValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return -1;
}

}  // namespace

PhotoEntry ReadPgPhoto(const PgResult& rows, int row) {
  return {rows.Text(row, 0), rows.Text(row, 1), rows.Text(row, 2), rows.Size(row, 3),
          rows.Int(row, 4),  rows.Text(row, 5), rows.Text(row, 6)};
}

void LockPgUsage(PgConnection& db, std::string_view account) {
  db.Exec("INSERT INTO usage (account, photos, stored_bytes) VALUES ($1, 0, 0) ON CONFLICT DO NOTHING",
          {account});
  db.Exec("SELECT 1 FROM usage WHERE account = $1 FOR UPDATE", {account});
}

AccountUsage ReadPgUsage(PgConnection& db, std::string_view account) {
  const PgResult row = db.Exec(
      "SELECT coalesce((SELECT photos FROM usage WHERE account = $1), 0), "
      "coalesce((SELECT stored_bytes FROM usage WHERE account = $1), 0), "
      "(SELECT coalesce(sum(bytes), 0) FROM reservations WHERE account = $1)",
      {account});
  return {row.Size(0, 0), row.Size(0, 1), row.Size(0, 2)};
}

void RecountPgUsage(PgConnection& db, std::string_view account) {
  db.Exec(
      "INSERT INTO usage (account, photos, stored_bytes) "
      "SELECT $1, count(*), coalesce(sum(size), 0) FROM photos WHERE account = $1 "
      "ON CONFLICT (account) DO UPDATE SET photos = excluded.photos, stored_bytes = excluded.stored_bytes",
      {account});
}

void InsertPgRow(PgConnection& db, const PhotoEntry& photo, bool skipTakenName) {
  db.Exec(
      std::string("INSERT INTO photos (id, account, stored_name, size, uploaded_ms, content_type, thumbnail) "
                  "VALUES ($1, $2, $3, $4, $5, $6, $7)") +
          (skipTakenName ? " ON CONFLICT (account, stored_name) DO NOTHING" : ""),
      {photo.id, photo.account, photo.storedName, photo.size, photo.uploadedMs, photo.contentType,
       photo.thumbnail});
}

void InsertPgRecord(PgConnection& db, const PhotoEntry& photo) {
  InsertPgRow(db, photo, /*skipTakenName=*/false);
  db.Exec(
      "INSERT INTO usage (account, photos, stored_bytes) VALUES ($1, 1, $2) ON CONFLICT (account) "
      "DO UPDATE SET photos = usage.photos + 1, stored_bytes = usage.stored_bytes + excluded.stored_bytes",
      {photo.account, photo.size});
}

void DeletePgRecord(PgConnection& db, const PhotoEntry& photo) {
  db.Exec("DELETE FROM photos WHERE id = $1", {photo.id});
  db.Exec(
      "UPDATE usage SET photos = greatest(photos - 1, 0), stored_bytes = greatest(stored_bytes - $1, 0) "
      "WHERE account = $2",
      {photo.size, photo.account});
}

std::string ReadPgSecret(PgConnection& db, std::string_view name) {
  const PgResult row = db.Exec("SELECT encode(value, 'hex') FROM secrets WHERE name = $1", {name});
  if (row.Rows() == 0) return {};
  const std::string hex = row.Text(0, 0);
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) throw PgError("", "a kept secret is not hex");
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

BrakeCount PgBrakeRow(PgConnection& db, int kind, std::string_view key) {
  const PgResult row =
      db.Exec("SELECT failures, until_ms FROM brake WHERE kind = $1 AND key = $2", {kind, key});
  if (row.Rows() == 0) return {};
  return {static_cast<int>(row.Int(0, 0)), row.Int(0, 1), true};
}

void CountPgFailure(PgConnection& db, int kind, std::string_view key, int freeFailures,
                    const BrakePolicy& policy, std::int64_t nowMs) {
  const BrakeCount count = PgBrakeRow(db, kind, key);
  if (!count.present) MakeRoom(db, kind, policy.maxTracked, nowMs);
  const int failures = NextFailures(count);
  db.Exec(
      "INSERT INTO brake (kind, key, failures, until_ms) VALUES ($1, $2, $3, $4) ON CONFLICT (kind, key) "
      "DO UPDATE SET failures = excluded.failures, until_ms = excluded.until_ms",
      {kind, key, failures, BrakeUntilMs(failures, freeFailures, policy, nowMs)});
}

}  // namespace wharfling::server::state
