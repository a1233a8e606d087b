#pragma once
// Time and size bounds of client connections: what keeps slow or greedy clients from holding the
// server. The engine hands what libmicrohttpd can enforce to it; the rest is ours.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace wharfling::server {

struct ConnectionLimits {
  // How long a connection may stay silent mid-request (whole seconds: the library counts so).
  std::chrono::seconds readTimeout{10};
  // How long a connection may wait, silent, for its next request.
  std::chrono::seconds keepAliveTimeout{2};
  // The request line and header lines: all of them within this time, this size and this count.
  std::chrono::milliseconds headTimeout{10000};
  std::size_t maxHeadBytes = 32 * 1024;
  std::size_t maxHeaderLines = 100;
  // The most raw bytes one request body may bring, whatever the parts inside it say.
  std::uint64_t maxBodyBytes = 64ull * 1024 * 1024;
  // A body that arrives slower than this on average, once the grace time has passed, is dropped.
  std::uint64_t minBodyBytesPerSecond = 1024;
  std::chrono::milliseconds bodyGrace{10000};
  // Connections open at once, from one client address (an IPv6 client: its /64) and in all. Each
  // has a thread of its own, so a slow client holds its own thread only.
  std::size_t maxConnectionsPerAddress = 32;
  std::size_t maxConnections = 1024;
  // The last slots are kept for addresses that hold only a few connections, so that many addresses
  // that each take their share cannot fill the server for a newcomer.
  std::size_t slotsKeptForNewcomers = 128;
  std::size_t newcomerConnections = 4;
  // The reverse proxy in front (CanonicalAddress form; empty: none): its connections count only
  // towards maxConnections, and its requests' client is the last hop of X-Forwarded-For.
  std::string trustedProxy;
  // How long requests under way may go on once the server is told to stop; then they are cut off.
  std::chrono::milliseconds stopGrace{5000};
  // After an early answer, the rest of the request is read and dropped so that the client sees
  // the answer rather than a reset connection: until the client stops sending, within these bounds.
  std::chrono::milliseconds drainIdle{2000};
  std::chrono::milliseconds drainTotal{30000};
  std::uint64_t drainBytes = 64ull * 1024 * 1024;
  // The same for a client without a session, who gets only a short moment.
  std::chrono::milliseconds briefDrainIdle{200};
  std::chrono::milliseconds briefDrainTotal{1000};
  std::uint64_t briefDrainBytes = 256 * 1024;
  // Connections drained at once; past this, they are closed at once.
  std::size_t maxDraining = 256;
};

}  // namespace wharfling::server
