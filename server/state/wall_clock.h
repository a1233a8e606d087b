#pragma once
// The time every record and hold of the state is stamped with: milliseconds since the Unix epoch.

#include <chrono>
#include <cstdint>

namespace wharfling::server::state {

inline std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace wharfling::server::state
