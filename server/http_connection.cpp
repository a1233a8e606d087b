#include "server/http_connection.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace wharfling::server {
namespace {

using Clock = std::chrono::steady_clock;

thread_local bool* t_closeAfterResponse = nullptr;

// Waits until the socket is ready for `events`; false on time-out or error.
bool WaitFor(int sock, short events, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd entry{sock, events, 0};
    const int rc = ::poll(&entry, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (rc > 0) return true;
    if (rc == 0 || errno != EINTR) return false;
  }
}

void AddressOf(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port) {
  std::array<char, NI_MAXHOST> host{};
  std::array<char, NI_MAXSERV> service{};
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host.data(), host.size(),
                    service.data(), service.size(), NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    ip = host.data();
    port = std::atoi(service.data());
  }
}

// One connection's socket with a small read buffer, so that request lines and headers do not
// cost a system call per byte.
class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int sock, const ConnectionLimits& limits) : sock_(sock), limits_(limits) {}

  bool buffered() const { return begin_ < end_; }

  bool is_readable() const override { return buffered() || WaitFor(sock_, POLLIN, limits_.readTimeout); }
  bool is_writable() const override { return WaitFor(sock_, POLLOUT, limits_.writeTimeout); }

  ssize_t read(char* ptr, size_t size) override {
    if (size == 0) return 0;
    if (!buffered()) {
      if (!WaitFor(sock_, POLLIN, limits_.readTimeout)) return -1;
      if (size >= buffer_.size()) return Receive(ptr, size);
      const ssize_t got = Receive(buffer_.data(), buffer_.size());
      if (got <= 0) return got;
      begin_ = 0;
      end_ = static_cast<std::size_t>(got);
    }
    const std::size_t count = std::min(size, end_ - begin_);
    std::memcpy(ptr, buffer_.data() + begin_, count);
    begin_ += count;
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* ptr, size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      if (!WaitFor(sock_, POLLOUT, limits_.writeTimeout)) return -1;
      const ssize_t sent = ::send(sock_, ptr + done, size - done, MSG_NOSIGNAL);
      if (sent < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return -1;
      }
      done += static_cast<std::size_t>(sent);
    }
    return static_cast<ssize_t>(done);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      AddressOf(address, length, ip, port);
    }
  }

  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      AddressOf(address, length, ip, port);
    }
  }

  socket_t socket() const override { return sock_; }

 private:
  ssize_t Receive(char* ptr, std::size_t size) {
    for (;;) {
      const ssize_t got = ::recv(sock_, ptr, size, 0);
      if (got >= 0 || errno != EINTR) return got;
    }
  }

  const int sock_;
  const ConnectionLimits& limits_;
  std::array<char, 4096> buffer_{};
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

}  // namespace

ConnectionServer::ConnectionServer(ConnectionLimits limits, std::size_t threads) : limits_(limits) {
  threads = std::max<std::size_t>(threads, 1);
  new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
}

void ConnectionServer::CloseAfterResponse() {
  if (t_closeAfterResponse != nullptr) *t_closeAfterResponse = true;
}

void ConnectionServer::WidenBacklog(int backlog) {
  const socket_t sock = svr_sock_;
  if (sock != INVALID_SOCKET) ::listen(sock, backlog);  // a second listen() only changes the backlog
}

bool ConnectionServer::WaitForRequest(socket_t sock, bool buffered) const {
  if (buffered) return true;
  const auto deadline = Clock::now() + limits_.keepAliveTimeout;
  // In short steps, so that a stopping server is not kept waiting by idle connections.
  while (svr_sock_ != INVALID_SOCKET && Clock::now() < deadline) {
    if (WaitFor(sock, POLLIN, std::chrono::milliseconds(50))) return true;
  }
  return false;
}

void ConnectionServer::Linger(socket_t sock) const {
  ::shutdown(sock, SHUT_WR);
  const auto deadline = Clock::now() + limits_.lingerTotal;
  std::array<char, 65536> sink{};
  std::uint64_t dropped = 0;
  while (dropped < limits_.lingerBytes && Clock::now() < deadline && svr_sock_ != INVALID_SOCKET) {
    if (!WaitFor(sock, POLLIN, limits_.lingerIdle)) break;
    const ssize_t got = ::recv(sock, sink.data(), sink.size(), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    dropped += static_cast<std::uint64_t>(got);
  }
}

bool ConnectionServer::process_and_close_socket(socket_t sock) {
  bool closeAfterResponse = false;
  bool ok = true;
  {
    ConnectionStream stream(sock, limits_);
    t_closeAfterResponse = &closeAfterResponse;
    for (std::size_t left = limits_.maxRequestsPerConnection; left > 0 && !closeAfterResponse; --left) {
      if (!WaitForRequest(sock, stream.buffered())) break;
      bool closed = false;
      ok = process_request(stream, left == 1, closed, nullptr);
      if (!ok || closed) break;
    }
    t_closeAfterResponse = nullptr;
  }
  if (closeAfterResponse) Linger(sock);
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return ok;
}

}  // namespace wharfling::server
