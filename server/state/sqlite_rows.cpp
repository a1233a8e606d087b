#include "server/state/sqlite_rows.h"

#include <string>

namespace wharfling::server::state {
namespace {

// Full: forget whoever no longer has to wait; failing that, everyone of that kind (the brake
// loosens, the table does not grow).
void MakeRoom(SqliteConnection& db, int kind, std::uint64_t limit, std::int64_t nowMs) {
  const auto tracked = [&] {
    auto row = db.Prepare("SELECT count(*) FROM brake WHERE kind = ?1");
    row.Bind(1, kind);
    return row.Step() ? row.Size(0) : 0;
  };
  if (tracked() < limit) return;
  db.Prepare("DELETE FROM brake WHERE kind = ?1 AND until_ms <= ?2").Bind(1, kind).Bind(2, nowMs).Run();
  if (tracked() >= limit) db.Prepare("DELETE FROM brake WHERE kind = ?1").Bind(1, kind).Run();
}

}  // namespace

PhotoEntry ReadPhoto(const SqliteStatement& row) {
  return {row.Text(0), row.Text(1), row.Text(2), row.Size(3), row.Int(4), row.Text(5), row.Text(6)};
}

AccountUsage ReadUsage(SqliteConnection& db, std::string_view account) {
  AccountUsage usage;
  {
    auto row = db.Prepare("SELECT photos, stored_bytes FROM usage WHERE account = ?1");
    row.Bind(1, account);
    if (row.Step()) {
      usage.photos = row.Size(0);
      usage.storedBytes = row.Size(1);
    }
  }
  auto held = db.Prepare("SELECT coalesce(sum(bytes), 0) FROM reservations WHERE account = ?1");
  held.Bind(1, account);
  if (held.Step()) usage.reservedBytes = held.Size(0);
  return usage;
}

void InsertRow(SqliteConnection& db, const PhotoEntry& photo, bool skipTakenName) {
  db.Prepare(std::string("INSERT INTO photos (id, account, stored_name, size, uploaded_ms, content_type, "
                         "thumbnail) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)") +
             (skipTakenName ? " ON CONFLICT (account, stored_name) DO NOTHING" : ""))
      .Bind(1, photo.id)
      .Bind(2, photo.account)
      .Bind(3, photo.storedName)
      .Bind(4, photo.size)
      .Bind(5, photo.uploadedMs)
      .Bind(6, photo.contentType)
      .Bind(7, photo.thumbnail)
      .Run();
}

void InsertRecord(SqliteConnection& db, const PhotoEntry& photo) {
  InsertRow(db, photo, /*skipTakenName=*/false);
  db.Prepare(
        "INSERT INTO usage (account, photos, stored_bytes) VALUES (?1, 1, ?2) ON CONFLICT (account) "
        "DO UPDATE SET photos = photos + 1, stored_bytes = stored_bytes + excluded.stored_bytes")
      .Bind(1, photo.account)
      .Bind(2, photo.size)
      .Run();
}

void DeleteRecord(SqliteConnection& db, const PhotoEntry& photo) {
  db.Prepare("DELETE FROM photos WHERE id = ?1").Bind(1, photo.id).Run();
  db.Prepare(
        "UPDATE usage SET photos = max(photos - 1, 0), stored_bytes = max(stored_bytes - ?1, 0) "
        "WHERE account = ?2")
      .Bind(1, photo.size)
      .Bind(2, photo.account)
      .Run();
}

BrakeCount BrakeRow(SqliteConnection& db, int kind, std::string_view key) {
  auto row = db.Prepare("SELECT failures, until_ms FROM brake WHERE kind = ?1 AND key = ?2");
  row.Bind(1, kind).Bind(2, key);
  if (!row.Step()) return {};
  return {static_cast<int>(row.Int(0)), row.Int(1), true};
}

void CountFailure(SqliteConnection& db, int kind, std::string_view key, int freeFailures,
                  const BrakePolicy& policy, std::int64_t nowMs) {
  const BrakeCount count = BrakeRow(db, kind, key);
  if (!count.present) MakeRoom(db, kind, policy.maxTracked, nowMs);
  const int failures = NextFailures(count);
  db.Prepare("INSERT OR REPLACE INTO brake (kind, key, failures, until_ms) VALUES (?1, ?2, ?3, ?4)")
      .Bind(1, kind)
      .Bind(2, key)
      .Bind(3, failures)
      .Bind(4, BrakeUntilMs(failures, freeFailures, policy, nowMs))
      .Run();
}

}  // namespace wharfling::server::state
