#include "server/engine/connection_drain.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace wharfling::server {

ConnectionDrain::ConnectionDrain(const ConnectionLimits& limits) : limits_(limits) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
  thread_ = std::thread([this] { Run(); });
}

ConnectionDrain::~ConnectionDrain() {
  Stop();
  if (wake_[0] >= 0) ::close(wake_[0]);
  if (wake_[1] >= 0) ::close(wake_[1]);
}

void ConnectionDrain::Add(UniqueFd socket, bool brief) {
  ::shutdown(socket.get(), SHUT_WR);
  const auto now = Clock::now();
  const auto idle = brief ? limits_.briefDrainIdle : limits_.drainIdle;
  {
    std::lock_guard lock(mutex_);
    if (stopped_ || draining_.size() >= limits_.maxDraining) return;  // closed at once
    draining_.push_back({std::move(socket), now + idle,
                         now + (brief ? limits_.briefDrainTotal : limits_.drainTotal), idle,
                         brief ? limits_.briefDrainBytes : limits_.drainBytes});
  }
  const char wake = 1;
  [[maybe_unused]] const auto written = ::write(wake_[1], &wake, 1);
}

void ConnectionDrain::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
  }
  const char wake = 1;
  [[maybe_unused]] const auto written = ::write(wake_[1], &wake, 1);
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  draining_.clear();
}

void ConnectionDrain::Run() {
  std::array<char, 65536> sink{};
  std::vector<pollfd> polled;
  for (;;) {
    auto wait = std::chrono::milliseconds(1000);
    polled.assign(1, pollfd{wake_[0], POLLIN, 0});
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      const auto now = Clock::now();
      std::erase_if(draining_, [now](const Draining& d) {
        return now >= d.idleUntil || now >= d.endsAt || d.bytesLeft == 0;
      });
      for (const auto& d : draining_) {
        polled.push_back({d.socket.get(), POLLIN, 0});
        const auto until = std::min(d.idleUntil, d.endsAt);
        wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(until - now));
      }
    }
    const int ready =
        ::poll(polled.data(), polled.size(), static_cast<int>(std::max<long long>(wait.count(), 0)));
    if (ready <= 0) continue;
    if (polled[0].revents != 0) {
      char drop[64];
      while (::read(wake_[0], drop, sizeof drop) > 0) {
      }
    }
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    for (std::size_t i = 1; i < polled.size(); ++i) {
      if (polled[i].revents == 0) continue;
      const auto found = std::find_if(draining_.begin(), draining_.end(),
                                      [&](const Draining& d) { return d.socket.get() == polled[i].fd; });
      if (found == draining_.end()) continue;
      const ssize_t got = ::recv(found->socket.get(), sink.data(), sink.size(), MSG_DONTWAIT);
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (got <= 0) {
        found->bytesLeft = 0;  // the client is done (or gone): closed on the next round
        continue;
      }
      found->bytesLeft -= std::min<std::uint64_t>(found->bytesLeft, static_cast<std::uint64_t>(got));
      found->idleUntil = now + found->idle;
    }
  }
}

}  // namespace wharfling::server
