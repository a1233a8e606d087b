#pragma once
// Time and size bounds of client connections: what keeps slow or greedy clients from holding the
// server.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace wharfling::server {

struct ConnectionLimits {
  std::chrono::milliseconds readTimeout{10000};
  std::chrono::milliseconds writeTimeout{10000};
  // How long a connection may wait for its next request.
  std::chrono::milliseconds keepAliveTimeout{2000};
  std::size_t maxRequestsPerConnection = 100;
  // The request line and header lines: all of them within this time, this size and this count.
  std::chrono::milliseconds headTimeout{10000};
  std::size_t maxHeadBytes = 32 * 1024;
  std::size_t maxHeaderLines = 100;
  // The most raw bytes one request body may bring, whatever the parts inside it say.
  std::uint64_t maxBodyBytes = 64ull * 1024 * 1024;
  // A body that arrives slower than this on average, once the grace time has passed, is dropped.
  std::uint64_t minBodyBytesPerSecond = 1024;
  std::chrono::milliseconds bodyGrace{10000};
  // Connections open at once, from one client address and in all. Each has a thread of its own, so a
  // slow client holds its own thread only.
  std::size_t maxConnectionsPerAddress = 32;
  std::size_t maxConnections = 1024;
  // How long requests under way may go on once the server is told to stop; then they are cut off.
  std::chrono::milliseconds stopGrace{5000};
  // After an early answer, the rest of the request is read and dropped so that the client sees
  // the answer rather than a reset connection: until the client stops sending, within these bounds.
  std::chrono::milliseconds lingerIdle{2000};
  std::chrono::milliseconds lingerTotal{30000};
  std::uint64_t lingerBytes = 64ull * 1024 * 1024;
  // The same for a client without a session, who gets only a short moment.
  std::chrono::milliseconds briefLingerIdle{200};
  std::chrono::milliseconds briefLingerTotal{1000};
  std::uint64_t briefLingerBytes = 256 * 1024;
};

}  // namespace wharfling::server
