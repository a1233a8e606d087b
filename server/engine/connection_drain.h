#pragma once
// Connections answered before their request was read to its end: their answer has gone out, and
// what the client still sends is read and dropped for a while before they close, so that the client
// reads the answer instead of a reset. One thread drains them all, within the limits' bounds.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "server/base/unique_fd.h"
#include "server/engine/connection_limits.h"

namespace wharfling::server {

class ConnectionDrain {
 public:
  explicit ConnectionDrain(const ConnectionLimits& limits);
  ~ConnectionDrain();
  ConnectionDrain(const ConnectionDrain&) = delete;
  ConnectionDrain& operator=(const ConnectionDrain&) = delete;

  // Takes a descriptor of the connection's socket; it is shut for writing at once (the client sees
  // the end of the answer) and closed once drained. Closed at once when too many drain already.
  void Add(UniqueFd socket, bool brief);
  // Closes every connection still draining; later ones are closed at once.
  void Stop();

 private:
  using Clock = std::chrono::steady_clock;
  struct Draining {
    UniqueFd socket;
    Clock::time_point idleUntil;
    Clock::time_point endsAt;
    std::chrono::milliseconds idle;
    std::uint64_t bytesLeft;
  };

  void Run();

  const ConnectionLimits& limits_;
  std::mutex mutex_;
  std::vector<Draining> draining_;
  bool stopped_ = false;
  int wake_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace wharfling::server
