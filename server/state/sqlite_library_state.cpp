#include "server/state/sqlite_library_state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <utility>

#include "server/state/sqlite_db.h"
#include "server/state/sqlite_pool.h"
#include "server/state/sqlite_rows.h"
#include "server/state/sqlite_schema.h"
#include "server/state/state_log.h"
#include "server/state/state_tokens.h"
#include "server/state/wall_clock.h"

namespace wharfling::server::state {
namespace {

using Kind = SqliteTransaction::Kind;

std::int64_t Clamped(std::uint64_t value) {
  return static_cast<std::int64_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::int64_t>::max()));
}

// The lock that keeps a second server off the same database, held for the state's life.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(int fd) : fd_(fd) {}
  ~ExclusiveLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

class SqliteLibraryState final : public LibraryState {
 public:
  SqliteLibraryState(const SqliteStateOptions& options, int lockFd)
      : lock_(lockFd), options_(options), pool_(options.file, options.connections, options.busyTimeout) {}

  Outcome Photos(std::string_view account, std::uint64_t offset, std::uint64_t limit,
                 PhotoPage& page) override {
    return Run("listing photos", [&](SqliteConnection& db) {
      SqliteTransaction snapshot(db, Kind::kRead);
      page.photos.clear();
      auto rows = db.Prepare(std::string(kPhotoColumns) +
                             " WHERE account = ?1 ORDER BY uploaded_ms DESC, seq DESC LIMIT ?2 OFFSET ?3");
      rows.Bind(1, account).Bind(2, Clamped(limit)).Bind(3, Clamped(offset));
      while (rows.Step()) page.photos.push_back(ReadPhoto(rows));
      page.usage = ReadUsage(db, account);
      snapshot.Commit();
      return Outcome::kDone;
    });
  }

  Outcome FindPhoto(std::string_view account, std::string_view id, PhotoEntry& photo) override {
    return Run("finding a photo", [&](SqliteConnection& db) {
      auto row = db.Prepare(std::string(kPhotoColumns) + " WHERE id = ?1 AND account = ?2");
      row.Bind(1, id).Bind(2, account);
      if (!row.Step()) return Outcome::kNotFound;
      photo = ReadPhoto(row);
      return Outcome::kDone;
    });
  }

  Outcome RemovePhoto(std::string_view account, std::string_view id, PhotoEntry& removed) override {
    return Run("removing a photo", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      {
        auto row = db.Prepare(std::string(kPhotoColumns) + " WHERE id = ?1 AND account = ?2");
        row.Bind(1, id).Bind(2, account);
        if (!row.Step()) return Outcome::kNotFound;
        removed = ReadPhoto(row);
      }
      DeleteRecord(db, removed);
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome SetThumbnail(std::string_view account, std::string_view id, std::string_view thumbnail) override {
    return Run("noting a thumbnail", [&](SqliteConnection& db) {
      db.Prepare(
            "UPDATE photos SET thumbnail = ?1, thumbnail_claimed_until_ms = 0 WHERE id = ?2 AND account = ?3")
          .Bind(1, thumbnail)
          .Bind(2, id)
          .Bind(3, account)
          .Run();
      return sqlite3_changes(db.handle()) > 0 ? Outcome::kDone : Outcome::kNotFound;
    });
  }

  Outcome ClaimThumbnail(std::string_view account, std::string_view id, std::int64_t nowMs,
                         ThumbnailTurn& turn) override {
    return Run("claiming a thumbnail", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      db.Prepare(
            "UPDATE photos SET thumbnail_claimed_until_ms = ?1 WHERE id = ?2 AND account = ?3 "
            "AND thumbnail <> ?4 AND thumbnail_claimed_until_ms <= ?5")
          .Bind(1, nowMs + options_.policy.thumbnailLease.count())
          .Bind(2, id)
          .Bind(3, account)
          .Bind(4, kNoThumbnail)
          .Bind(5, nowMs)
          .Run();
      if (sqlite3_changes(db.handle()) > 0) {
        turn = ThumbnailTurn::kYours;
      } else {
        auto row = db.Prepare("SELECT thumbnail FROM photos WHERE id = ?1 AND account = ?2");
        row.Bind(1, id).Bind(2, account);
        if (!row.Step()) return Outcome::kNotFound;
        turn = row.Text(0) == kNoThumbnail ? ThumbnailTurn::kNoPicture : ThumbnailTurn::kAnothers;
      }
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome ReleaseThumbnail(std::string_view account, std::string_view id) override {
    return Run("releasing a thumbnail's claim", [&](SqliteConnection& db) {
      db.Prepare("UPDATE photos SET thumbnail_claimed_until_ms = 0 WHERE id = ?1 AND account = ?2")
          .Bind(1, id)
          .Bind(2, account)
          .Run();
      return sqlite3_changes(db.handle()) > 0 ? Outcome::kDone : Outcome::kNotFound;
    });
  }

  Outcome Usage(std::string_view account, AccountUsage& usage) override {
    return Run("reading an account's usage", [&](SqliteConnection& db) {
      SqliteTransaction snapshot(db, Kind::kRead);
      usage = ReadUsage(db, account);
      snapshot.Commit();
      return Outcome::kDone;
    });
  }

  Outcome Reserve(std::string_view account, std::uint64_t bytes, std::optional<std::uint64_t> quota,
                  std::int64_t nowMs, Reservation& reservation) override {
    return Run("reserving room", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      db.Prepare("DELETE FROM reservations WHERE account = ?1 AND expires_ms <= ?2")
          .Bind(1, account)
          .Bind(2, nowMs)
          .Run();
      const AccountUsage usage = ReadUsage(db, account);
      if (!FitsQuota(usage.storedBytes + usage.reservedBytes, bytes, quota)) {
        transaction.Commit();
        return Outcome::kOverQuota;
      }
      db.Prepare("INSERT INTO reservations (account, bytes, expires_ms) VALUES (?1, ?2, ?3)")
          .Bind(1, account)
          .Bind(2, bytes)
          .Bind(3, nowMs + options_.policy.reservationLifetime.count())
          .Run();
      reservation = {sqlite3_last_insert_rowid(db.handle()), std::string(account), bytes};
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome Grow(Reservation& reservation, std::uint64_t totalBytes, std::optional<std::uint64_t> quota,
               std::int64_t nowMs) override {
    if (totalBytes <= reservation.bytes) return Outcome::kDone;
    return Run("growing a reservation", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      const AccountUsage usage = ReadUsage(db, reservation.account);
      std::uint64_t held = 0;
      {
        auto row = db.Prepare("SELECT bytes FROM reservations WHERE id = ?1");
        row.Bind(1, reservation.id);
        if (!row.Step()) return Outcome::kNotFound;  // expired, and freed by another upload
        held = row.Size(0);
      }
      if (!GrowthFitsQuota(usage, held, totalBytes, quota)) return Outcome::kOverQuota;
      db.Prepare("UPDATE reservations SET bytes = ?1, expires_ms = ?2 WHERE id = ?3")
          .Bind(1, totalBytes)
          .Bind(2, nowMs + options_.policy.reservationLifetime.count())
          .Bind(3, reservation.id)
          .Run();
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
    return Run("recording a photo", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      // The file took a name that was free on disk: a record still naming it is of a file removed
      // by hand, and goes.
      {
        auto stale = db.Prepare(std::string(kPhotoColumns) + " WHERE account = ?1 AND stored_name = ?2");
        stale.Bind(1, photo.account).Bind(2, photo.storedName);
        if (stale.Step()) {
          const PhotoEntry old = ReadPhoto(stale);
          DeleteRecord(db, old);
        }
      }
      InsertRecord(db, photo);
      if (reservation.id != 0) {
        db.Prepare("DELETE FROM reservations WHERE id = ?1").Bind(1, reservation.id).Run();
      }
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome Release(const Reservation& reservation) override {
    if (reservation.id == 0) return Outcome::kDone;
    return Run("releasing a reservation", [&](SqliteConnection& db) {
      db.Prepare("DELETE FROM reservations WHERE id = ?1").Bind(1, reservation.id).Run();
      return Outcome::kDone;
    });
  }

  Outcome OpenSession(std::string_view account, std::int64_t nowMs, std::string& token) override {
    std::string fresh = RandomHexDigits(32);
    const Outcome outcome = Run("opening a session", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      db.Prepare("DELETE FROM sessions WHERE last_used_ms < ?1").Bind(1, nowMs - IdleMs()).Run();
      db.Prepare("INSERT INTO sessions (token_hash, account, last_used_ms) VALUES (?1, ?2, ?3)")
          .Bind(1, TokenHash(fresh))
          .Bind(2, account)
          .Bind(3, nowMs)
          .Run();
      db.Prepare(
            "DELETE FROM sessions WHERE rowid IN (SELECT rowid FROM sessions WHERE account = ?1 "
            "ORDER BY last_used_ms DESC, rowid DESC LIMIT -1 OFFSET ?2)")
          .Bind(1, account)
          .Bind(2, static_cast<std::int64_t>(std::max<std::size_t>(options_.policy.sessionsPerAccount, 1)))
          .Run();
      transaction.Commit();
      return Outcome::kDone;
    });
    if (outcome == Outcome::kDone) token = std::move(fresh);
    return outcome;
  }

  Outcome FindSession(std::string_view token, std::int64_t nowMs, std::string& account) override {
    return Run("finding a session", [&](SqliteConnection& db) {
      const std::string hash = TokenHash(token);
      std::int64_t lastUsed = 0;
      {
        auto row = db.Prepare("SELECT account, last_used_ms FROM sessions WHERE token_hash = ?1");
        row.Bind(1, hash);
        if (!row.Step()) return Outcome::kNotFound;
        account = row.Text(0);
        lastUsed = row.Int(1);
      }
      if (nowMs - lastUsed > IdleMs()) {
        account.clear();
        try {
          db.Prepare("DELETE FROM sessions WHERE token_hash = ?1").Bind(1, hash).Run();
        } catch (const SqliteError&) {
          // Ended all the same; the next sign-in of any account sweeps it away.
        }
        return Outcome::kNotFound;
      }
      if (nowMs - lastUsed >= options_.policy.sessionTouchEvery.count()) {
        // Best effort: a busy database delays the note of this use, it does not sign anyone out.
        try {
          db.Prepare("UPDATE sessions SET last_used_ms = ?1 WHERE token_hash = ?2")
              .Bind(1, nowMs)
              .Bind(2, hash)
              .Run();
        } catch (const SqliteError& e) {
          Log(std::string("state: noting a session's use: ") + e.what());
        }
      }
      return Outcome::kDone;
    });
  }

  Outcome CloseSession(std::string_view token) override {
    return Run("closing a session", [&](SqliteConnection& db) {
      db.Prepare("DELETE FROM sessions WHERE token_hash = ?1").Bind(1, TokenHash(token)).Run();
      return sqlite3_changes(db.handle()) > 0 ? Outcome::kDone : Outcome::kNotFound;
    });
  }

  Outcome CsrfKey(std::string& key) override {
    {
      std::lock_guard lock(csrfMutex_);
      if (!csrfKey_.empty()) {
        key = csrfKey_;
        return Outcome::kDone;
      }
    }
    return Run("reading the forms' key", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      db.Prepare("INSERT INTO secrets (name, value) VALUES (?1, ?2) ON CONFLICT (name) DO NOTHING")
          .Bind(1, kCsrfKeyName)
          .BindBlob(2, RandomBytes(kCsrfKeyBytes))
          .Run();
      auto row = db.Prepare("SELECT value FROM secrets WHERE name = ?1");
      row.Bind(1, kCsrfKeyName);
      if (!row.Step()) throw SqliteError(SQLITE_ERROR, "the forms' key was not kept");
      std::string stored = row.Blob(0);
      if (stored.size() != kCsrfKeyBytes) throw SqliteError(SQLITE_CORRUPT, "the forms' key is damaged");
      transaction.Commit();
      std::lock_guard lock(csrfMutex_);
      csrfKey_ = stored;
      key = std::move(stored);
      return Outcome::kDone;
    });
  }

  Outcome CountGuess(std::string_view address, std::string_view account, std::int64_t nowMs,
                     GuessVerdict& verdict) override {
    return Run("counting a login attempt", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      std::int64_t until = BrakeRow(db, kAddressKind, address).until;
      if (!account.empty()) until = std::max(until, BrakeRow(db, kAccountKind, account).until);
      if (until > nowMs) {
        verdict = {false, std::chrono::milliseconds(until - nowMs)};
        transaction.Commit();
        return Outcome::kDone;
      }
      CountFailure(db, kAddressKind, address, options_.policy.brake.addressFreeFailures,
                   options_.policy.brake, nowMs);
      if (!account.empty())
        CountFailure(db, kAccountKind, account, options_.policy.brake.accountFreeFailures,
                     options_.policy.brake, nowMs);
      transaction.Commit();
      verdict = {true, std::chrono::milliseconds(0)};
      return Outcome::kDone;
    });
  }

  Outcome ClearGuesses(std::string_view address, std::string_view account) override {
    return Run("clearing login failures", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      db.Prepare("DELETE FROM brake WHERE kind = ?1 AND key = ?2")
          .Bind(1, kAddressKind)
          .Bind(2, address)
          .Run();
      db.Prepare("DELETE FROM brake WHERE kind = ?1 AND key = ?2")
          .Bind(1, kAccountKind)
          .Bind(2, account)
          .Run();
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome RecordedFiles(std::string_view account, std::vector<RecordedFile>& files) override {
    return Run("listing the records", [&](SqliteConnection& db) {
      files.clear();
      auto rows = db.Prepare(
          "SELECT id, stored_name, size, thumbnail FROM photos WHERE account = ?1 ORDER BY stored_name");
      rows.Bind(1, account);
      while (rows.Step()) files.push_back({rows.Text(0), rows.Text(1), rows.Size(2), rows.Text(3)});
      return Outcome::kDone;
    });
  }

  Outcome TakenOver(std::string_view account, bool& takenOver) override {
    return Run("reading the take-over", [&](SqliteConnection& db) {
      auto row = db.Prepare("SELECT 1 FROM taken_over WHERE account = ?1");
      row.Bind(1, account);
      takenOver = row.Step();
      return Outcome::kDone;
    });
  }

  Outcome ApplyFolderChanges(std::string_view account, const FolderChanges& changes) override {
    return Run("recording the folder", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      for (const auto& id : changes.removedIds) {
        db.Prepare("DELETE FROM photos WHERE id = ?1 AND account = ?2").Bind(1, id).Bind(2, account).Run();
      }
      for (const auto& photo : changes.changed) {
        db.Prepare(
              "UPDATE photos SET size = ?1, content_type = ?2, thumbnail = ?3 WHERE id = ?4 AND account = ?5")
            .Bind(1, photo.size)
            .Bind(2, photo.contentType)
            .Bind(3, photo.thumbnail)
            .Bind(4, photo.id)
            .Bind(5, account)
            .Run();
      }
      for (const auto& photo : changes.added) {
        PhotoEntry own = photo;
        own.account = std::string(account);
        InsertRow(db, own, /*skipTakenName=*/true);
      }
      // Counted afresh from the records, so that the totals heal whatever happened before.
      db.Prepare(
            "INSERT OR REPLACE INTO usage (account, photos, stored_bytes) "
            "SELECT ?1, count(*), coalesce(sum(size), 0) FROM photos WHERE account = ?1")
          .Bind(1, account)
          .Run();
      if (changes.lastOfAccount) {
        db.Prepare("INSERT OR IGNORE INTO taken_over (account) VALUES (?1)").Bind(1, account).Run();
      }
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome ExportPhotos(std::int64_t& after, std::size_t limit, std::vector<PhotoEntry>& photos) override {
    return Run("reading records to copy", [&](SqliteConnection& db) {
      photos.clear();
      auto rows = db.Prepare(
          "SELECT id, account, stored_name, size, uploaded_ms, content_type, thumbnail, seq FROM photos "
          "WHERE seq > ?1 ORDER BY seq LIMIT ?2");
      rows.Bind(1, after).Bind(2, static_cast<std::uint64_t>(limit));
      while (rows.Step()) {
        photos.push_back(ReadPhoto(rows));
        after = rows.Int(7);
      }
      return Outcome::kDone;
    });
  }

  Outcome ExportExtras(LibraryExtras& extras) override {
    return Run("reading the state to copy", [&](SqliteConnection& db) {
      SqliteTransaction snapshot(db, Kind::kRead);
      extras = {};
      {
        auto key = db.Prepare("SELECT value FROM secrets WHERE name = ?1");
        key.Bind(1, kCsrfKeyName);
        if (key.Step()) extras.csrfKey = key.Blob(0);
      }
      {
        auto sessions = db.Prepare("SELECT token_hash, account, last_used_ms FROM sessions ORDER BY rowid");
        while (sessions.Step())
          extras.sessions.push_back({sessions.Text(0), sessions.Text(1), sessions.Int(2)});
      }
      auto taken = db.Prepare("SELECT account FROM taken_over ORDER BY account");
      while (taken.Step()) extras.takenOver.push_back(taken.Text(0));
      snapshot.Commit();
      return Outcome::kDone;
    });
  }

  Outcome ImportPhotos(const std::vector<PhotoEntry>& photos) override {
    return Run("writing copied records", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      for (const auto& photo : photos) InsertRecord(db, photo);
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  Outcome ImportExtras(const LibraryExtras& extras) override {
    return Run("writing the copied state", [&](SqliteConnection& db) {
      SqliteTransaction transaction(db, Kind::kWrite);
      if (!extras.csrfKey.empty()) {
        db.Prepare("INSERT INTO secrets (name, value) VALUES (?1, ?2)")
            .Bind(1, kCsrfKeyName)
            .BindBlob(2, extras.csrfKey)
            .Run();
      }
      for (const auto& session : extras.sessions) {
        db.Prepare("INSERT INTO sessions (token_hash, account, last_used_ms) VALUES (?1, ?2, ?3)")
            .Bind(1, session.tokenHash)
            .Bind(2, session.account)
            .Bind(3, session.lastUsedMs)
            .Run();
      }
      for (const auto& account : extras.takenOver) {
        db.Prepare("INSERT OR IGNORE INTO taken_over (account) VALUES (?1)").Bind(1, account).Run();
      }
      transaction.Commit();
      return Outcome::kDone;
    });
  }

  // Reservations of an earlier run are of uploads that can no longer finish.
  void DropReservations() {
    auto db = pool_.Borrow();
    db->Execute("DELETE FROM reservations");
  }

 private:
  template <typename Fn>
  Outcome Run(const char* doing, Fn&& fn) {
    try {
      auto db = pool_.Borrow();
      return fn(*db);
    } catch (const SqliteError& e) {
      Log(std::string("state: ") + doing + ": " + e.what());
    } catch (const std::bad_alloc&) {
      Log(std::string("state: ") + doing + ": out of memory");
    }
    return Outcome::kFailed;
  }

  void Log(const std::string& line) const { options_.log(line); }

  std::int64_t IdleMs() const { return options_.policy.sessionIdleLimit.count(); }

  ExclusiveLock lock_;
  const SqliteStateOptions options_;
  SqlitePool pool_;
  std::mutex csrfMutex_;
  std::string csrfKey_;
};

bool IsUnreadable(int code) {
  const int primary = code & 0xff;
  return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// Whether the file opens as an undamaged database; throws for other failures.
bool OpensWhole(const SqliteStateOptions& options) {
  try {
    SqliteConnection probe(options.file, options.busyTimeout);
    auto check = probe.Prepare("PRAGMA quick_check");
    return check.Step() && check.Text(0) == "ok";
  } catch (const SqliteError& e) {
    if (IsUnreadable(e.code())) return false;
    throw;
  }
}

bool MoveAside(const std::filesystem::path& file, std::string& moved, std::string& error) {
  const std::string aside = file.string() + ".unreadable-" + std::to_string(NowMs());
  std::error_code ec;
  std::filesystem::rename(file, aside, ec);
  if (ec) {
    error = "cannot move the unreadable " + file.string() + " aside: " + ec.message();
    return false;
  }
  // Its log goes with it; the shared-memory index is only ever rebuilt.
  std::filesystem::rename(file.string() + "-wal", aside + "-wal", ec);
  std::filesystem::remove(file.string() + "-shm", ec);
  moved = aside;
  return true;
}

}  // namespace

std::unique_ptr<LibraryState> OpenSqliteLibraryState(const SqliteStateOptions& options, std::string& error) {
  SqliteStateOptions opened = options;
  if (!opened.log) opened.log = LogToStandardError;
  // Holds of uploads under way and the brake's counts are only right for one server at a time.
  const std::string lockPath = options.file.string() + ".lock";
  const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (lockFd < 0) {
    error = "cannot open " + lockPath + ": " + std::strerror(errno);
    return nullptr;
  }
  ExclusiveLock lock(lockFd);
  if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? "another server is using " + options.file.string()
                                 : "cannot lock " + lockPath + ": " + std::strerror(errno);
    return nullptr;
  }
  try {
    struct stat info {};
    const bool present = ::lstat(options.file.c_str(), &info) == 0;
    std::string moved;
    if (present && (!S_ISREG(info.st_mode) || !OpensWhole(options))) {
      if (!MoveAside(options.file, moved, error)) return nullptr;
      opened.log("state: " + options.file.string() + " was unreadable; moved to " + moved +
                 " and begun anew from the folders");
    }
    {
      SqliteConnection connection(options.file, options.busyTimeout);
      UpgradeSqliteSchema(connection);
    }
    auto state = std::make_unique<SqliteLibraryState>(opened, lock.Release());
    state->DropReservations();
    return state;
  } catch (const SqliteError& e) {
    error = e.what();
  } catch (const std::filesystem::filesystem_error& e) {
    error = e.what();
  }
  return nullptr;
}

}  // namespace wharfling::server::state
