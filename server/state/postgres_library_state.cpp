#include "server/state/postgres_library_state.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <set>
#include <utility>

#include "server/state/pg_pool.h"
#include "server/state/pg_rows.h"
#include "server/state/pg_schema.h"
#include "server/state/state_log.h"
#include "server/state/state_tokens.h"

namespace wharfling::server::state {
namespace {

using Kind = PgTransaction::Kind;

// Transactions that meet (a deadlock PostgreSQL broke) are run again this many times.
constexpr int kAttempts = 5;
// The advisory locks' kinds of key (the brake's own kinds are 0 and 1).
constexpr int kSessionLock = 2;

class PostgresLibraryState final : public LibraryState {
 public:
  explicit PostgresLibraryState(const PostgresStateOptions& options)
      : options_(options), pool_(options.conninfo, options.connections) {}

  Outcome Photos(std::string_view account, std::uint64_t offset, std::uint64_t limit,
                 PhotoPage& page) override {
    return Run("listing photos", [&](PgConnection& db) {
      PgTransaction snapshot(db, Kind::kSnapshot);
      const PgResult rows = db.Exec(std::string(kPhotoColumns) +
                                        " WHERE account = $1 ORDER BY uploaded_ms DESC, seq DESC LIMIT $2 "
                                        "OFFSET $3",
                                    {account, limit, offset});
      page.photos.clear();
      for (int i = 0; i < rows.Rows(); ++i) page.photos.push_back(ReadPgPhoto(rows, i));
      page.usage = ReadPgUsage(db, account);
      snapshot.Commit();
      return Outcome::kDone;
    });
  }

  Outcome FindPhoto(std::string_view account, std::string_view id, PhotoEntry& photo) override {
    return Run("finding a photo", [&](PgConnection& db) {
      const PgResult row =
          db.Exec(std::string(kPhotoColumns) + " WHERE id = $1 AND account = $2", {id, account});
      if (row.Rows() == 0) return Outcome::kNotFound;
      photo = ReadPgPhoto(row, 0);
      return Outcome::kDone;
    });
  }

  Outcome RemovePhoto(std::string_view account, std::string_view id, PhotoEntry& removed) override {
    return Run("removing a photo", [&](PgConnection& db) {
      PgTransaction transaction(db, Kind::kWrite);
      LockPgUsage(db, account);
      const PgResult row =
          db.Exec(std::string(kPhotoColumns) + " WHERE id = $1 AND account = $2", {id, account});
      if (row.Rows() == 0) return Outcome::kNotFound;
      removed = ReadPgPhoto(row, 0);
      DeletePgRecord(db, removed);
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome SetThumbnail(std::string_view account, std::string_view id, std::string_view thumbnail) override {
    return Run("noting a thumbnail", [&](PgConnection& db) {
      const PgResult done = db.Exec(
          "UPDATE photos SET thumbnail = $1, thumbnail_claimed_until_ms = 0 WHERE id = $2 AND account = $3",
          {thumbnail, id, account});
      return done.Affected() > 0 ? Outcome::kDone : Outcome::kNotFound;
    });
  }

  // Requests that meet on the row take turns on its lock; the second then finds the claim live.
  Outcome ClaimThumbnail(std::string_view account, std::string_view id, std::int64_t nowMs,
                         ThumbnailTurn& turn) override {
    return Run("claiming a thumbnail", [&](PgConnection& db) {
      const PgResult claimed = db.Exec(
          "UPDATE photos SET thumbnail_claimed_until_ms = $1 WHERE id = $2 AND account = $3 "
          "AND thumbnail <> $4 AND thumbnail_claimed_until_ms <= $5",
          {nowMs + options_.policy.thumbnailLease.count(), id, account, kNoThumbnail, nowMs});
      if (claimed.Affected() > 0) {
        turn = ThumbnailTurn::kYours;
        return Outcome::kDone;
      }
      const PgResult row =
          db.Exec("SELECT thumbnail FROM photos WHERE id = $1 AND account = $2", {id, account});
      if (row.Rows() == 0) return Outcome::kNotFound;
      turn = row.Text(0, 0) == kNoThumbnail ? ThumbnailTurn::kNoPicture : ThumbnailTurn::kAnothers;
      return Outcome::kDone;
    });
  }

  Outcome ReleaseThumbnail(std::string_view account, std::string_view id) override {
    return Run("releasing a thumbnail's claim", [&](PgConnection& db) {
      const PgResult done = db.Exec(
          "UPDATE photos SET thumbnail_claimed_until_ms = 0 WHERE id = $1 AND account = $2", {id, account});
      return done.Affected() > 0 ? Outcome::kDone : Outcome::kNotFound;
    });
  }

  Outcome Usage(std::string_view account, AccountUsage& usage) override {
    return Run("reading an account's usage", [&](PgConnection& db) {
      PgTransaction snapshot(db, Kind::kSnapshot);
      usage = ReadPgUsage(db, account);
      snapshot.Commit();
      return Outcome::kDone;
    });
  }

  // The account's usage row is locked first, so that holds of the same account, from any instance,
  // are weighed one after another against what the others left.
  Outcome Reserve(std::string_view account, std::uint64_t bytes, std::optional<std::uint64_t> quota,
                  std::int64_t nowMs, Reservation& reservation) override {
    return Run("reserving room", [&](PgConnection& db) {
      PgTransaction transaction(db, Kind::kWrite);
      LockPgUsage(db, account);
      db.Exec("DELETE FROM reservations WHERE account = $1 AND expires_ms <= $2", {account, nowMs});
      const AccountUsage usage = ReadPgUsage(db, account);
      if (!FitsQuota(usage.storedBytes + usage.reservedBytes, bytes, quota)) {
        transaction.Commit();
        return Outcome::kOverQuota;
      }
      const PgResult made =
          db.Exec("INSERT INTO reservations (account, bytes, expires_ms) VALUES ($1, $2, $3) RETURNING id",
                  {account, bytes, nowMs + options_.policy.reservationLifetime.count()});
      transaction.Commit();
      reservation = {made.Int(0, 0), std::string(account), bytes};
      return Outcome::kDone;
    });
  }

  Outcome Grow(Reservation& reservation, std::uint64_t totalBytes, std::optional<std::uint64_t> quota,
               std::int64_t nowMs) override {
    if (totalBytes <= reservation.bytes) return Outcome::kDone;
    return Run("growing a reservation", [&](PgConnection& db) {
      PgTransaction transaction(db, Kind::kWrite);
      LockPgUsage(db, reservation.account);
      const PgResult row = db.Exec("SELECT bytes FROM reservations WHERE id = $1", {reservation.id});
      if (row.Rows() == 0) return Outcome::kNotFound;  // expired, and freed by another upload
      const std::uint64_t held = row.Size(0, 0);
      const AccountUsage usage = ReadPgUsage(db, reservation.account);
      if (!GrowthFitsQuota(usage, held, totalBytes, quota)) return Outcome::kOverQuota;
      db.Exec("UPDATE reservations SET bytes = $1, expires_ms = $2 WHERE id = $3",
              {totalBytes, nowMs + options_.policy.reservationLifetime.count(), reservation.id});
      transaction.Commit();
      reservation.bytes = totalBytes;
      return Outcome::kDone;
    });
  }

  Outcome Publish(const Reservation& reservation, const PhotoEntry& photo) override {
    if (!RoomServesPhoto(reservation, photo)) {
      Log("state: recording a photo: the room was held for another account");
      return Outcome::kFailed;
    }
    return Run("recording a photo", [&](PgConnection& db) {
      PgTransaction transaction(db, Kind::kWrite);
      LockPgUsage(db, photo.account);
      // The file took a name that was free on disk: a record still naming it is of a file removed
      // by hand, and goes.
      const PgResult stale = db.Exec(std::string(kPhotoColumns) + " WHERE account = $1 AND stored_name = $2",
                                     {photo.account, photo.storedName});
      if (stale.Rows() > 0) DeletePgRecord(db, ReadPgPhoto(stale, 0));
      InsertPgRecord(db, photo);
      if (reservation.id != 0) db.Exec("DELETE FROM reservations WHERE id = $1", {reservation.id});
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome Release(const Reservation& reservation) override {
    if (reservation.id == 0) return Outcome::kDone;
    return Run("releasing a reservation", [&](PgConnection& db) {
      db.Exec("DELETE FROM reservations WHERE id = $1", {reservation.id});
      return Outcome::kDone;
    });
  }

  Outcome OpenSession(std::string_view account, std::int64_t nowMs, std::string& token) override {
    std::string fresh = RandomHexDigits(32);
    const Outcome outcome = Run("opening a session", [&](PgConnection& db) {
      PgTransaction transaction(db, Kind::kWrite);
      // Sign-ins of one account take turns, so that its cap holds whichever instance they reach.
      LockKey(db, kSessionLock, account);
      db.Exec("DELETE FROM sessions WHERE last_used_ms < $1", {nowMs - IdleMs()});
      db.Exec("INSERT INTO sessions (token_hash, account, last_used_ms) VALUES ($1, $2, $3)",
              {TokenHash(fresh), account, nowMs});
      db.Exec(
          "DELETE FROM sessions WHERE token_hash IN (SELECT token_hash FROM sessions WHERE account = $1 "
          "ORDER BY last_used_ms DESC, seq DESC OFFSET $2)",
          {account,
           static_cast<std::uint64_t>(std::max<std::size_t>(options_.policy.sessionsPerAccount, 1))});
      transaction.Commit();
      return Outcome::kDone;
    });
    if (outcome == Outcome::kDone) token = std::move(fresh);
    return outcome;
  }

  Outcome FindSession(std::string_view token, std::int64_t nowMs, std::string& account) override {
    return Run("finding a session", [&](PgConnection& db) {
      const std::string hash = TokenHash(token);
      const PgResult row =
          db.Exec("SELECT account, last_used_ms FROM sessions WHERE token_hash = $1", {hash});
      if (row.Rows() == 0) return Outcome::kNotFound;
      account = row.Text(0, 0);
      const std::int64_t lastUsed = row.Int(0, 1);
      if (nowMs - lastUsed > IdleMs()) {
        account.clear();
        try {
          db.Exec("DELETE FROM sessions WHERE token_hash = $1", {hash});
        } catch (const PgError&) {
          // Ended all the same; the next sign-in of any account sweeps it away.
        }
        return Outcome::kNotFound;
      }
      if (nowMs - lastUsed >= options_.policy.sessionTouchEvery.count()) {
        // Best effort: a busy database delays the note of this use, it does not sign anyone out.
        try {
          db.Exec("UPDATE sessions SET last_used_ms = greatest(last_used_ms, $1) WHERE token_hash = $2",
                  {nowMs, hash});
        } catch (const PgError& e) {
          Log(std::string("state: noting a session's use: ") + e.what());
        }
      }
      return Outcome::kDone;
    });
  }

  Outcome CloseSession(std::string_view token) override {
    return Run("closing a session", [&](PgConnection& db) {
      const PgResult done = db.Exec("DELETE FROM sessions WHERE token_hash = $1", {TokenHash(token)});
      return done.Affected() > 0 ? Outcome::kDone : Outcome::kNotFound;
    });
  }

  // The first instance to ask draws the key; a second one drawing at the same moment waits on the
  // first's row and then reads it, so every instance signs forms with the same key.
  Outcome CsrfKey(std::string& key) override {
    {
      std::lock_guard lock(csrfMutex_);
      if (!csrfKey_.empty()) {
        key = csrfKey_;
        return Outcome::kDone;
      }
    }
    return Run("reading the forms' key", [&](PgConnection& db) {
      db.Exec(
          "INSERT INTO secrets (name, value) VALUES ($1, decode($2, 'hex')) ON CONFLICT (name) DO NOTHING",
          {kCsrfKeyName, RandomHexDigits(kCsrfKeyBytes)});
      std::string stored = ReadPgSecret(db, kCsrfKeyName);
      if (stored.size() != kCsrfKeyBytes) throw PgError("", "the forms' key is damaged or missing");
      std::lock_guard lock(csrfMutex_);
      csrfKey_ = stored;
      key = std::move(stored);
      return Outcome::kDone;
    });
  }

  // The address's and the account's keys are locked in that order, so that attempts reaching
  // different instances are counted one after another.
  Outcome CountGuess(std::string_view address, std::string_view account, std::int64_t nowMs,
                     GuessVerdict& verdict) override {
    return Run("counting a login attempt", [&](PgConnection& db) {
      PgTransaction transaction(db, Kind::kWrite);
      LockKey(db, kAddressKind, address);
      if (!account.empty()) LockKey(db, kAccountKind, account);
      std::int64_t until = PgBrakeRow(db, kAddressKind, address).until;
      if (!account.empty()) until = std::max(until, PgBrakeRow(db, kAccountKind, account).until);
      if (until > nowMs) {
        transaction.Commit();
        verdict = {false, std::chrono::milliseconds(until - nowMs)};
        return Outcome::kDone;
      }
      const BrakePolicy& brake = options_.policy.brake;
      CountPgFailure(db, kAddressKind, address, brake.addressFreeFailures, brake, nowMs);
      if (!account.empty())
        CountPgFailure(db, kAccountKind, account, brake.accountFreeFailures, brake, nowMs);
      transaction.Commit();
      verdict = {true, std::chrono::milliseconds(0)};
      return Outcome::kDone;
    });
  }

  Outcome ClearGuesses(std::string_view address, std::string_view account) override {
    return Run("clearing login failures", [&](PgConnection& db) {
      db.Exec("DELETE FROM brake WHERE (kind = $1 AND key = $2) OR (kind = $3 AND key = $4)",
              {kAddressKind, address, kAccountKind, account});
      return Outcome::kDone;
    });
  }

  Outcome RecordedFiles(std::string_view account, std::vector<RecordedFile>& files) override {
    return Run("listing the records", [&](PgConnection& db) {
      const PgResult rows = db.Exec(
          "SELECT id, stored_name, size, thumbnail FROM photos WHERE account = $1 ORDER BY stored_name",
          {account});
      files.clear();
      files.reserve(static_cast<std::size_t>(rows.Rows()));
      for (int i = 0; i < rows.Rows(); ++i) {
        files.push_back({rows.Text(i, 0), rows.Text(i, 1), rows.Size(i, 2), rows.Text(i, 3)});
      }
      return Outcome::kDone;
    });
  }

  Outcome TakenOver(std::string_view account, bool& takenOver) override {
    return Run("reading the take-over", [&](PgConnection& db) {
      takenOver = db.Exec("SELECT 1 FROM taken_over WHERE account = $1", {account}).Rows() > 0;
      return Outcome::kDone;
    });
  }

  Outcome ApplyFolderChanges(std::string_view account, const FolderChanges& changes) override {
    return Run("recording the folder", [&](PgConnection& db) {
      PgTransaction transaction(db, Kind::kWrite);
      LockPgUsage(db, account);
      for (const auto& id : changes.removedIds) {
        db.Exec("DELETE FROM photos WHERE id = $1 AND account = $2", {id, account});
      }
      for (const auto& photo : changes.changed) {
        db.Exec(
            "UPDATE photos SET size = $1, content_type = $2, thumbnail = $3 WHERE id = $4 AND account = $5",
            {photo.size, photo.contentType, photo.thumbnail, photo.id, account});
      }
      for (const auto& photo : changes.added) {
        PhotoEntry own = photo;
        own.account = std::string(account);
        InsertPgRow(db, own, /*skipTakenName=*/true);
      }
      RecountPgUsage(db, account);
      if (changes.lastOfAccount) {
        db.Exec("INSERT INTO taken_over (account) VALUES ($1) ON CONFLICT DO NOTHING", {account});
      }
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome ExportPhotos(std::int64_t& after, std::size_t limit, std::vector<PhotoEntry>& photos) override {
    return Run("reading records to copy", [&](PgConnection& db) {
      const PgResult rows = db.Exec(
          "SELECT id, account, stored_name, size, uploaded_ms, content_type, thumbnail, seq FROM photos "
          "WHERE seq > $1 ORDER BY seq LIMIT $2",
          {after, static_cast<std::uint64_t>(limit)});
      photos.clear();
      for (int i = 0; i < rows.Rows(); ++i) {
        photos.push_back(ReadPgPhoto(rows, i));
        after = rows.Int(i, 7);
      }
      return Outcome::kDone;
    });
  }

  Outcome ExportExtras(LibraryExtras& extras) override {
    return Run("reading the state to copy", [&](PgConnection& db) {
      PgTransaction snapshot(db, Kind::kSnapshot);
      extras = {};
      extras.csrfKey = ReadPgSecret(db, kCsrfKeyName);
      const PgResult sessions =
          db.Exec("SELECT token_hash, account, last_used_ms FROM sessions ORDER BY seq");
      for (int i = 0; i < sessions.Rows(); ++i) {
        extras.sessions.push_back({sessions.Text(i, 0), sessions.Text(i, 1), sessions.Int(i, 2)});
      }
      const PgResult taken = db.Exec("SELECT account FROM taken_over ORDER BY account");
      for (int i = 0; i < taken.Rows(); ++i) extras.takenOver.push_back(taken.Text(i, 0));
      snapshot.Commit();
      return Outcome::kDone;
    });
  }

  Outcome ImportPhotos(const std::vector<PhotoEntry>& photos) override {
    return Run("writing copied records", [&](PgConnection& db) {
      PgTransaction transaction(db, Kind::kWrite);
      std::set<std::string> accounts;
      for (const auto& photo : photos) {
        if (accounts.insert(photo.account).second) LockPgUsage(db, photo.account);
        InsertPgRow(db, photo, /*skipTakenName=*/false);
      }
      for (const auto& account : accounts) RecountPgUsage(db, account);
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome ImportExtras(const LibraryExtras& extras) override {
    return Run("writing the copied state", [&](PgConnection& db) {
      PgTransaction transaction(db, Kind::kWrite);
      if (!extras.csrfKey.empty()) {
        db.Exec("INSERT INTO secrets (name, value) VALUES ($1, decode($2, 'hex'))",
                {kCsrfKeyName, HexOf(extras.csrfKey)});
      }
      for (const auto& session : extras.sessions) {
        db.Exec("INSERT INTO sessions (token_hash, account, last_used_ms) VALUES ($1, $2, $3)",
                {session.tokenHash, session.account, session.lastUsedMs});
      }
      for (const auto& account : extras.takenOver) {
        db.Exec("INSERT INTO taken_over (account) VALUES ($1) ON CONFLICT DO NOTHING", {account});
      }
      transaction.Commit();
      return Outcome::kDone;
    });
  }

 private:
  template <typename Fn>
  Outcome Run(const char* doing, Fn&& fn) {
    for (int attempt = 1;; ++attempt) {
      try {
        auto db = pool_.Borrow();
        return fn(*db);
      } catch (const PgError& e) {
        if (e.Conflict() && attempt < kAttempts) continue;
        Log(std::string("state: ") + doing + ": " + e.what());
      } catch (const std::bad_alloc&) {
        Log(std::string("state: ") + doing + ": out of memory");
      }
      return Outcome::kFailed;
    }
  }

  void Log(const std::string& line) const { options_.log(line); }

  std::int64_t IdleMs() const { return options_.policy.sessionIdleLimit.count(); }

  const PostgresStateOptions options_;
  PgPool pool_;
  std::mutex csrfMutex_;
  std::string csrfKey_;
};

}  // namespace

std::unique_ptr<LibraryState> OpenPostgresLibraryState(const PostgresStateOptions& options,
                                                       std::string& error) {
  try {
    PgConnection connection(options.conninfo);
    UpgradePgSchema(connection);
  } catch (const PgError& e) {
    error = e.what();
    return nullptr;
  }
  PostgresStateOptions opened = options;
  if (!opened.log) opened.log = LogToStandardError;
  return std::make_unique<PostgresLibraryState>(opened);
}

}  // namespace wharfling::server::state
