#include "server/engine/address_slots.h"

#include <netdb.h>
#include <netinet/in.h>

#include <array>

#include <cstring>

#include "server/engine/forwarded_for.h"

namespace wharfling::server {

std::string AddressKey(const sockaddr* address, socklen_t length) {
  if (address->sa_family == AF_INET && length >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    return std::string(reinterpret_cast<const char*>(&v4->sin_addr), 4);
  }
  if (address->sa_family == AF_INET6 && length >= static_cast<socklen_t>(sizeof(sockaddr_in6))) {
    const auto* bytes = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr;
    static constexpr unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(bytes, kMapped, sizeof kMapped) == 0)
      return std::string(reinterpret_cast<const char*>(bytes + 12), 4);
    return std::string(reinterpret_cast<const char*>(bytes), 8);
  }
  return {};
}

std::string SlotKey(const sockaddr* address, socklen_t length, const std::string& trustedProxy) {
  if (!trustedProxy.empty()) {
    std::array<char, NI_MAXHOST> host{};
    if (::getnameinfo(address, length, host.data(), host.size(), nullptr, 0, NI_NUMERICHOST) == 0 &&
        CanonicalAddress(host.data()) == trustedProxy) {
      return std::string(kTrustedProxyKey);
    }
  }
  return AddressKey(address, length);
}

bool AddressSlots::HasRoom(const std::string& key) const {
  std::lock_guard lock(mutex_);
  if (key == kTrustedProxyKey) return total_ < limits_.maxConnections;
  const auto found = open_.find(key);
  const std::size_t mine = found == open_.end() ? 0 : found->second;
  if (mine >= limits_.maxConnectionsPerAddress || total_ >= limits_.maxConnections) return false;
  const bool crowded = total_ + limits_.slotsKeptForNewcomers >= limits_.maxConnections;
  return !crowded || mine < limits_.newcomerConnections;
}

void AddressSlots::Enter(const std::string& key) {
  std::lock_guard lock(mutex_);
  ++open_[key];
  ++total_;
}

void AddressSlots::Leave(const std::string& key) {
  std::lock_guard lock(mutex_);
  const auto found = open_.find(key);
  if (found == open_.end()) return;
  if (--found->second == 0) open_.erase(found);
  --total_;
}

}  // namespace wharfling::server
