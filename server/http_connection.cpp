#include "server/http_connection.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace wharfling::server {
namespace {

using Clock = std::chrono::steady_clock;

struct CloseRequest {
  bool close = false;
  bool brief = false;
};
thread_local CloseRequest* t_closeAfterResponse = nullptr;

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
// cost a system call per byte. It also keeps each request within the connection limits: the head
// within its time, size and line count (answered here with 408 or 431, after which the connection
// takes no more), the body above its minimum rate.
class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int sock, const ConnectionLimits& limits, const std::atomic<std::int64_t>& cutOff)
      : sock_(sock), limits_(limits), cutOff_(cutOff) {}

  bool buffered() const { return begin_ < end_; }
  // The client broke a limit: the connection is closed without lingering.
  bool ended() const { return ended_; }

  // A request starts: its head is read from now on.
  void BeginRequest() {
    phase_ = Phase::kHead;
    phaseStart_ = Clock::now();
    phaseBytes_ = 0;
    headLines_ = 0;
    bodyCap_ = limits_.maxBodyBytes;
  }
  void CapBody(std::uint64_t bytes) { bodyCap_ = std::min(bodyCap_, bytes); }
  void EndHead() {
    if (phase_ != Phase::kHead) return;
    phase_ = Phase::kBody;
    phaseStart_ = Clock::now();
    phaseBytes_ = 0;
  }

  bool is_readable() const override { return buffered() || WaitFor(sock_, POLLIN, ReadWait()); }
  bool is_writable() const override { return !ended_ && WaitFor(sock_, POLLOUT, limits_.writeTimeout); }

  ssize_t read(char* ptr, size_t size) override {
    if (ended_ || CutOff()) return -1;
    if (size == 0) return 0;
    if (phase_ == Phase::kHead && Clock::now() >= phaseStart_ + limits_.headTimeout) {
      return EndWith("408 Request Timeout");
    }
    if (!buffered() && !WaitFor(sock_, POLLIN, ReadWait())) {
      return phase_ == Phase::kHead ? EndWith("408 Request Timeout") : -1;
    }
    std::size_t count = 0;
    if (!buffered() && size >= buffer_.size()) {
      const ssize_t got = Receive(ptr, size);  // a large read (body bytes) skips the buffer
      if (got <= 0) return got;
      count = static_cast<std::size_t>(got);
    } else {
      if (!buffered()) {
        const ssize_t got = Receive(buffer_.data(), buffer_.size());
        if (got <= 0) return got;
        begin_ = 0;
        end_ = static_cast<std::size_t>(got);
      }
      count = std::min(size, end_ - begin_);
      std::memcpy(ptr, buffer_.data() + begin_, count);
      begin_ += count;
    }
    phaseBytes_ += count;
    if (phase_ == Phase::kHead) {
      headLines_ += static_cast<std::size_t>(std::count(ptr, ptr + count, '\n'));
      // The request line and the blank line count besides the header lines.
      if (phaseBytes_ > limits_.maxHeadBytes || headLines_ > limits_.maxHeaderLines + 2) {
        return EndWith("431 Request Header Fields Too Large");
      }
    } else if (phase_ == Phase::kBody && (phaseBytes_ > bodyCap_ || BodyTooSlow())) {
      ended_ = true;
      return -1;
    }
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (ended_ || CutOff()) return -1;
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

  enum class Phase { kIdle, kHead, kBody };

  // Past the stop grace of a stopping server: the connection is over.
  bool CutOff() {
    const std::int64_t at = cutOff_.load();
    if (at == 0 || Clock::now().time_since_epoch().count() < at) return false;
    ended_ = true;
    return true;
  }

  // How long one read may wait: within the head's deadline while the head is read, within the stop
  // grace while the server stops.
  std::chrono::milliseconds ReadWait() const {
    using std::chrono::milliseconds;
    auto wait = limits_.readTimeout;
    const auto now = Clock::now();
    if (phase_ == Phase::kHead) {
      wait =
          std::min(wait, std::chrono::duration_cast<milliseconds>(phaseStart_ + limits_.headTimeout - now));
    }
    if (const std::int64_t at = cutOff_.load(); at != 0) {
      const Clock::time_point cut{Clock::duration(at)};
      wait = std::min(wait, std::chrono::duration_cast<milliseconds>(cut - now));
    }
    return std::max(wait, milliseconds(0));
  }

  bool BodyTooSlow() const {
    const auto elapsed = Clock::now() - phaseStart_;
    if (elapsed <= limits_.bodyGrace) return false;
    const double seconds = std::chrono::duration<double>(elapsed).count();
    return static_cast<double>(phaseBytes_) < seconds * static_cast<double>(limits_.minBodyBytesPerSecond);
  }

  // Answers the request here and ends the connection: nothing more is read or written.
  ssize_t EndWith(std::string_view status) {
    const std::string answer =
        "HTTP/1.1 " + std::string(status) + "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
    write(answer.data(), answer.size());
    ended_ = true;
    return -1;
  }

  const int sock_;
  const ConnectionLimits& limits_;
  const std::atomic<std::int64_t>& cutOff_;
  std::array<char, 4096> buffer_{};
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  Phase phase_ = Phase::kIdle;
  Clock::time_point phaseStart_{};
  std::uint64_t phaseBytes_ = 0;
  std::size_t headLines_ = 0;
  std::uint64_t bodyCap_ = 0;
  bool ended_ = false;
};

thread_local ConnectionStream* t_stream = nullptr;

// A thread for each connection, so that slow clients hold their own threads and never a shared pool's.
class ThreadPerConnection final : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> work) override {
    {
      std::lock_guard lock(mutex_);
      ++running_;
    }
    try {
      std::thread([this, work] {
        work();
        Done();
      }).detach();
    } catch (const std::system_error&) {
      work();  // no thread to be had: served in the accept loop, which waits meanwhile
      Done();
    }
  }
  // Waits for every connection's thread to end.
  void shutdown() override {
    std::unique_lock lock(mutex_);
    ended_.wait(lock, [this] { return running_ == 0; });
  }

 private:
  void Done() {
    std::lock_guard lock(mutex_);
    --running_;
    ended_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable ended_;
  std::size_t running_ = 0;
};

std::string PeerAddress(int sock) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  std::string ip;
  int port = 0;
  if (::getpeername(sock, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    AddressOf(address, length, ip, port);
  }
  return ip;
}

}  // namespace

// The connections open now, by client address.
class ConnectionServer::AddressCount {
 public:
  explicit AddressCount(const ConnectionLimits& limits) : limits_(limits) {}

  // False, counting nothing, when the address or the server has no room for one more.
  bool Enter(const std::string& address) {
    std::lock_guard lock(mutex_);
    std::size_t& mine = open_[address];
    if (mine >= limits_.maxConnectionsPerAddress || total_ >= limits_.maxConnections) {
      if (mine == 0) open_.erase(address);
      return false;
    }
    ++mine;
    ++total_;
    return true;
  }
  void Leave(const std::string& address) {
    std::lock_guard lock(mutex_);
    if (--open_[address] == 0) open_.erase(address);
    --total_;
  }

 private:
  const ConnectionLimits& limits_;
  std::mutex mutex_;
  std::map<std::string, std::size_t> open_;
  std::size_t total_ = 0;
};

ConnectionServer::ConnectionServer(ConnectionLimits limits)
    : limits_(limits), open_(std::make_unique<AddressCount>(limits_)) {
  new_task_queue = [] { return new ThreadPerConnection(); };
}

ConnectionServer::~ConnectionServer() = default;

void ConnectionServer::CloseAfterResponse(bool brief) {
  if (t_closeAfterResponse == nullptr) return;
  // A connection already marked for a full linger keeps it.
  t_closeAfterResponse->brief = t_closeAfterResponse->close ? t_closeAfterResponse->brief && brief : brief;
  t_closeAfterResponse->close = true;
}

void ConnectionServer::StopWithinGrace() {
  cutOff_ = (Clock::now() + limits_.stopGrace).time_since_epoch().count();
  stop();
}

void ConnectionServer::HeadRead() {
  if (t_stream != nullptr) t_stream->EndHead();
}

void ConnectionServer::CapBody(std::uint64_t bytes) {
  if (t_stream != nullptr) t_stream->CapBody(bytes);
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

void ConnectionServer::Linger(socket_t sock, bool brief) const {
  ::shutdown(sock, SHUT_WR);
  const auto deadline = Clock::now() + (brief ? limits_.briefLingerTotal : limits_.lingerTotal);
  const std::uint64_t most = brief ? limits_.briefLingerBytes : limits_.lingerBytes;
  const auto idle = brief ? limits_.briefLingerIdle : limits_.lingerIdle;
  std::array<char, 65536> sink{};
  std::uint64_t dropped = 0;
  while (dropped < most && Clock::now() < deadline && svr_sock_ != INVALID_SOCKET) {
    if (!WaitFor(sock, POLLIN, idle)) break;
    const ssize_t got = ::recv(sock, sink.data(), sink.size(), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    dropped += static_cast<std::uint64_t>(got);
  }
}

bool ConnectionServer::process_and_close_socket(socket_t sock) {
  const std::string address = PeerAddress(sock);
  if (!open_->Enter(address)) {
    ::close(sock);  // no room: closed at once, before a byte is read
    return false;
  }
  CloseRequest closeAfterResponse;
  bool ok = true;
  bool brokeALimit = false;
  {
    ConnectionStream stream(sock, limits_, cutOff_);
    t_closeAfterResponse = &closeAfterResponse;
    t_stream = &stream;
    for (std::size_t left = limits_.maxRequestsPerConnection; left > 0 && !closeAfterResponse.close; --left) {
      if (!WaitForRequest(sock, stream.buffered())) break;
      stream.BeginRequest();
      bool closed = false;
      ok = process_request(stream, left == 1, closed, nullptr);
      if (!ok || closed) break;
    }
    brokeALimit = stream.ended();
    t_stream = nullptr;
    t_closeAfterResponse = nullptr;
  }
  if (closeAfterResponse.close && !brokeALimit) Linger(sock, closeAfterResponse.brief);
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  open_->Leave(address);
  return ok;
}

}  // namespace wharfling::server
