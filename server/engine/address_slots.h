#pragma once
// The connection slots by client address, for the engine's accept policy: an address (an IPv6
// client by its /64, which one host commonly holds whole) gets at most its share, and the last
// slots go only to addresses that hold few, so that a crowd of addresses cannot shut out another.

#include <sys/socket.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "server/engine/connection_limits.h"

namespace wharfling::server {

// The key an address is counted under: an IPv4 address (also when IPv4-mapped) as its 4 bytes, an
// IPv6 address as its first 8. Empty for other families.
std::string AddressKey(const sockaddr* address, socklen_t length);

// The key of the trusted proxy's connections, which no address key can be: it holds the connections
// of many clients, so only the total limit bounds it.
inline constexpr std::string_view kTrustedProxyKey = "trusted proxy";

// AddressKey, or kTrustedProxyKey for the address `trustedProxy` (CanonicalAddress form) names.
std::string SlotKey(const sockaddr* address, socklen_t length, const std::string& trustedProxy);

class AddressSlots {
 public:
  explicit AddressSlots(const ConnectionLimits& limits) : limits_(limits) {}

  // Whether a connection from `key` may open now.
  bool HasRoom(const std::string& key) const;
  void Enter(const std::string& key);
  void Leave(const std::string& key);

 private:
  const ConnectionLimits& limits_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::size_t> open_;
  std::size_t total_ = 0;
};

}  // namespace wharfling::server
