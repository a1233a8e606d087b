#pragma once
// What the SQLite and PostgreSQL tables hold alike, so that both back ends read and write it the
// same way: a photo row's columns in the order both read them, the login brake's kinds of key and
// its row, and the forms' key as a kept secret.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "server/state/library_state.h"

namespace wharfling::server::state {

// The same SQL in both dialects; the caller adds its WHERE clause.
inline constexpr std::string_view kPhotoColumns =
    "SELECT id, account, stored_name, size, uploaded_ms, content_type, thumbnail FROM photos";

// The brake's kinds of key, as stored (and, in PostgreSQL, as locked).
inline constexpr int kAddressKind = 0;
inline constexpr int kAccountKind = 1;

struct BrakeCount {
  int failures = 0;
  std::int64_t until = 0;
  bool present = false;
};

// One more failure than counted, never past what the column holds.
inline int NextFailures(const BrakeCount& count) {
  return std::min(count.failures, std::numeric_limits<int>::max() - 1) + 1;
}

// Whether `more` bytes fit under the quota (none: no limit) beside those already taken.
inline bool FitsQuota(std::uint64_t taken, std::uint64_t more, std::optional<std::uint64_t> quota) {
  return !quota || (taken <= *quota && more <= *quota - taken);
}

// Whether a hold of `held` bytes may grow to `total` under the quota: beside the account's stored
// bytes and the other holds (`reserved` counts this one too).
inline bool GrowthFitsQuota(const AccountUsage& usage, std::uint64_t held, std::uint64_t total,
                            std::optional<std::uint64_t> quota) {
  const std::uint64_t others = usage.reservedBytes - std::min(usage.reservedBytes, held);
  return FitsQuota(usage.storedBytes + others, total, quota);
}

// Whether a photo may be recorded against the room: none was held (id 0), or it was held for the
// photo's own account.
inline bool RoomServesPhoto(const Reservation& reservation, const PhotoEntry& photo) {
  return reservation.id == 0 || reservation.account == photo.account;
}

// The forms' key, drawn once and kept under this name in the secrets table.
inline constexpr std::string_view kCsrfKeyName = "csrf-key";
inline constexpr std::size_t kCsrfKeyBytes = 32;

}  // namespace wharfling::server::state
