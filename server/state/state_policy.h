#pragma once
// The rules the state keeps, the same whichever database keeps it.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace wharfling::server::state {

struct BrakePolicy {
  // Failures that cost no wait: an address may be shared by several people, an account is one's.
  int accountFreeFailures = 5;
  int addressFreeFailures = 10;
  std::chrono::milliseconds firstWait{1000};
  std::chrono::milliseconds longestWait{60000};
  std::size_t maxTracked = 4096;  // addresses and accounts remembered, each
};

struct StatePolicy {
  std::chrono::milliseconds sessionIdleLimit{std::chrono::hours(2)};
  // An account's sessions beyond this drop its least recently used: one account's sign-ins never
  // push out another's.
  std::size_t sessionsPerAccount = 100;
  // A session's last use is written at most this often, so that a page of thumbnails is no burst
  // of writes.
  std::chrono::milliseconds sessionTouchEvery{std::chrono::minutes(1)};
  // Room held for an upload that neither publishes nor refuses (its server stopped) is freed then.
  std::chrono::milliseconds reservationLifetime{std::chrono::hours(1)};
  // A claim on making a thumbnail outlives the slowest picture; past it another server takes over.
  std::chrono::milliseconds thumbnailLease{std::chrono::seconds(30)};
  BrakePolicy brake;
};

// Until when a key with `failures` counted failures waits (0: it does not), the wait doubling with
// every failure past the free ones. The failure that uses up the free ones already makes the next
// attempt wait.
std::int64_t BrakeUntilMs(int failures, int freeFailures, const BrakePolicy& policy, std::int64_t nowMs);

}  // namespace wharfling::server::state
