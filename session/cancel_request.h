#pragma once
// A request to stop a run after the file in flight. The front end may make it from any thread or
// from a signal handler: it is one lock-free atomic flag, set and read without locks or allocation.

#include <atomic>

namespace wharfling {

class CancelRequest {
 public:
  // Async-signal-safe.
  void Request() noexcept { requested_.store(true, std::memory_order_relaxed); }
  bool requested() const noexcept { return requested_.load(std::memory_order_relaxed); }
  void Clear() noexcept { requested_.store(false, std::memory_order_relaxed); }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler must be able to set it");
  std::atomic<bool> requested_{false};
};

}  // namespace wharfling
