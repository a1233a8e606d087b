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

// Signed-in sessions by token, wherever they are kept.
class SessionStore {
 public:
  virtual ~SessionStore() = default;
  // A new session of the account; returns its token (64 hex digits).
  virtual std::string Open(std::string accountName) = 0;
  // The account of a live session, which counts as a use of it.
  virtual std::optional<std::string> Find(std::string_view token) = 0;
  virtual void Close(std::string_view token) = 0;
};

// Sessions in memory: they end with the process.
class SessionTable final : public SessionStore {
 public:
  using Clock = std::chrono::steady_clock;

  explicit SessionTable(Clock::duration idleLimit = std::chrono::hours(2), std::size_t capacity = 10000,
                        std::function<Clock::time_point()> now = Clock::now);

  std::string Open(std::string accountName) override;
  std::optional<std::string> Find(std::string_view token) override;
  void Close(std::string_view token) override;
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
