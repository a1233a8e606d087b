#pragma once
// Signed-in sessions: an unguessable token (the cookie's value) names the account it belongs to.
// Sessions end at sign-out, after an idle time, or, when the table is full, oldest use first.

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace wharfling::server {

class SessionTable {
 public:
  using Clock = std::chrono::steady_clock;

  explicit SessionTable(Clock::duration idleLimit = std::chrono::hours(2), std::size_t capacity = 10000,
                        std::function<Clock::time_point()> now = Clock::now);

  // A new session of the account; returns its token (64 hex digits).
  std::string Open(std::string accountName);
  // The account of a live session, which counts as a use of it.
  std::optional<std::string> Find(std::string_view token);
  void Close(std::string_view token);
  std::size_t size() const;

 private:
  struct Entry {
    std::string accountName;
    Clock::time_point lastUse;
  };
  void DropExpired(Clock::time_point now);

  const Clock::duration idleLimit_;
  const std::size_t capacity_;
  const std::function<Clock::time_point()> now_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace wharfling::server
