#pragma once
// What the server keeps besides the photo files themselves: the photos' records, the signed-in
// sessions, the key of the forms' tokens, the login brake's counters and each account's usage with
// the room held for uploads on their way. One interface, so that the server's logic does not know
// which database keeps it; every call is one transaction, safe from any thread.
//
// No call throws. Each answers an Outcome; kFailed means the database could not do it (the detail
// has gone to the log given when the state was opened) and is never to be taken as success.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wharfling::server::state {

enum class Outcome {
  kDone,
  kNotFound,
  kOverQuota,  // a reservation that would pass the account's quota
  kFailed,
};

// The thumbnail field of a photo whose bytes make no picture: it shows the neutral tile.
inline constexpr std::string_view kNoThumbnail = "-";

struct PhotoEntry {
  std::string id;               // 32 lower-case hex digits, kept for the photo's life
  std::string account;          // the account's name (and its folder's)
  std::string storedName;       // UTF-8, the file's name in the account's folder
  std::uint64_t size = 0;       // bytes
  std::int64_t uploadedMs = 0;  // milliseconds since 1970, UTC
  std::string contentType;      // from the bytes; "" when they are no image served inline
  std::string thumbnail;        // "" not made yet, kNoThumbnail, or the thumbnail's file name
};

struct AccountUsage {
  std::uint64_t photos = 0;
  std::uint64_t storedBytes = 0;    // the recorded photos' sizes
  std::uint64_t reservedBytes = 0;  // held for uploads still on their way
};

// One gallery page: some of the photos, newest first, and the account's totals.
struct PhotoPage {
  std::vector<PhotoEntry> photos;
  AccountUsage usage;
};

// Room held for one upload until it is published or refused.
struct Reservation {
  std::int64_t id = 0;
  std::string account;
  std::uint64_t bytes = 0;
};

// What the login brake answers for one attempt.
struct GuessVerdict {
  bool mayCheck = false;              // counted as a failure already; cleared if it succeeds
  std::chrono::milliseconds wait{0};  // when not: how long the client still has to wait
};

// What the start-up compares with a folder: a record's name, size and thumbnail.
struct RecordedFile {
  std::string id;
  std::string storedName;
  std::uint64_t size = 0;
  std::string thumbnail;
};

// The folder's side of a reconciliation, applied in one transaction.
struct FolderChanges {
  std::vector<PhotoEntry> added;        // files found without a record, ids already drawn
  std::vector<PhotoEntry> changed;      // records whose size, type or thumbnail is new (by id)
  std::vector<std::string> removedIds;  // records whose file is gone
  bool lastOfAccount = true;            // the account's old index counts as taken over with it
};

// Who makes a photo's missing thumbnail, so that it is made once however many servers are asked.
enum class ThumbnailTurn {
  kYours,      // claimed: make it, then SetThumbnail (or ReleaseThumbnail when it cannot be written)
  kAnothers,   // another request holds a live claim: wait for its file
  kNoPicture,  // its bytes were found to make no picture: the neutral tile
};

// A session as kept: only its token's hash.
struct SessionRecord {
  std::string tokenHash;
  std::string account;
  std::int64_t lastUsedMs = 0;
};

// What a copy to another database carries besides the photo records: the forms' key ("" when none
// was drawn yet), the sessions, so that a move signs nobody out, and the accounts whose old index
// was taken over. Room held for uploads and the brake's counts belong to the running servers and
// stay behind.
struct LibraryExtras {
  std::string csrfKey;
  std::vector<SessionRecord> sessions;
  std::vector<std::string> takenOver;
};

class LibraryState {
 public:
  virtual ~LibraryState() = default;

  // --- photos ---
  // `limit` photos from `offset`, newest first, with the account's usage.
  virtual Outcome Photos(std::string_view account, std::uint64_t offset, std::uint64_t limit,
                         PhotoPage& page) = 0;
  // The account's photo of that id; another account's id is not found.
  virtual Outcome FindPhoto(std::string_view account, std::string_view id, PhotoEntry& photo) = 0;
  // Drops the record (the caller has removed the file) and hands it back.
  virtual Outcome RemovePhoto(std::string_view account, std::string_view id, PhotoEntry& removed) = 0;
  // Records the thumbnail made (or kNoThumbnail) and ends the claim on its making.
  virtual Outcome SetThumbnail(std::string_view account, std::string_view id, std::string_view thumbnail) = 0;
  // Claims the making of the photo's thumbnail until `nowMs` plus the policy's lease, unless a live
  // claim holds it; an expired claim (its server died while making it) is taken over.
  virtual Outcome ClaimThumbnail(std::string_view account, std::string_view id, std::int64_t nowMs,
                                 ThumbnailTurn& turn) = 0;
  // Ends a claim without a thumbnail (a stop cut its making short), so that the next request makes it.
  virtual Outcome ReleaseThumbnail(std::string_view account, std::string_view id) = 0;
  virtual Outcome Usage(std::string_view account, AccountUsage& usage) = 0;

  // --- quota ---
  // Holds `bytes` for an upload of the account before any of its bytes is written: kOverQuota when
  // what is stored, what other uploads hold and this would pass `quota` (none: no limit).
  virtual Outcome Reserve(std::string_view account, std::uint64_t bytes, std::optional<std::uint64_t> quota,
                          std::int64_t nowMs, Reservation& reservation) = 0;
  // Raises the reservation to `totalBytes` as a body of unknown length arrives.
  virtual Outcome Grow(Reservation& reservation, std::uint64_t totalBytes, std::optional<std::uint64_t> quota,
                       std::int64_t nowMs) = 0;
  // The upload's file is published: its record is written and the reservation settled to the
  // file's size, together. On kFailed nothing is recorded and the caller removes the file.
  virtual Outcome Publish(const Reservation& reservation, const PhotoEntry& photo) = 0;
  // The upload was refused: its room is given back.
  virtual Outcome Release(const Reservation& reservation) = 0;

  // --- sessions ---
  // A new session; `token` is the cookie's value, of which only a hash is kept.
  virtual Outcome OpenSession(std::string_view account, std::int64_t nowMs, std::string& token) = 0;
  // The account of a live session; the use keeps it alive.
  virtual Outcome FindSession(std::string_view token, std::int64_t nowMs, std::string& account) = 0;
  virtual Outcome CloseSession(std::string_view token) = 0;

  // --- the key of the forms' tokens, drawn once and kept ---
  virtual Outcome CsrfKey(std::string& key) = 0;

  // --- login brake ---
  // Counts the attempt as a failure BEFORE its password is checked, unless the address or the
  // account (empty: the name is no account's) still has to wait.
  virtual Outcome CountGuess(std::string_view address, std::string_view account, std::int64_t nowMs,
                             GuessVerdict& verdict) = 0;
  // The password was right: the address's and the account's failures are forgotten.
  virtual Outcome ClearGuesses(std::string_view address, std::string_view account) = 0;

  // --- start-up ---
  // Every record of the account, by name in byte order.
  virtual Outcome RecordedFiles(std::string_view account, std::vector<RecordedFile>& files) = 0;
  // Whether the account's old index file was taken over already.
  virtual Outcome TakenOver(std::string_view account, bool& takenOver) = 0;
  // Applies (part of) a reconciliation with the folder; its last part notes the old index as taken
  // over.
  virtual Outcome ApplyFolderChanges(std::string_view account, const FolderChanges& changes) = 0;

  // --- copying to another database ---
  // Up to `limit` records of every account past position `after` (0: the first), in the order they
  // were recorded; `after` moves past those handed back.
  virtual Outcome ExportPhotos(std::int64_t& after, std::size_t limit, std::vector<PhotoEntry>& photos) = 0;
  virtual Outcome ExportExtras(LibraryExtras& extras) = 0;
  // Records copied photos as they are, ids kept, after those already there, with their accounts'
  // usage.
  virtual Outcome ImportPhotos(const std::vector<PhotoEntry>& photos) = 0;
  // Writes the key (when there is one), the sessions and the taken-over marks, all together.
  virtual Outcome ImportExtras(const LibraryExtras& extras) = 0;
};

}  // namespace wharfling::server::state
