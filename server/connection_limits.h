#pragma once
// Time and size bounds of one client connection.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace wharfling::server {

struct ConnectionLimits {
  std::chrono::milliseconds readTimeout{10000};
  std::chrono::milliseconds writeTimeout{10000};
  std::chrono::milliseconds keepAliveTimeout{5000};
  std::size_t maxRequestsPerConnection = 100;
  // After an early answer, the rest of the request is read and dropped so that the client sees
  // the answer rather than a reset connection: until the client stops sending, within these bounds.
  std::chrono::milliseconds lingerIdle{2000};
  std::chrono::milliseconds lingerTotal{30000};
  std::uint64_t lingerBytes = 64ull * 1024 * 1024;
};

}  // namespace wharfling::server
