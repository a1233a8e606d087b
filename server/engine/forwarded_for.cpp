#include "server/engine/forwarded_for.h"

#include <arpa/inet.h>
#include <strings.h>

#include <array>
#include <cstring>

namespace wharfling::server {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string CanonicalAddress(std::string_view text) {
  if (text.size() >= INET6_ADDRSTRLEN) return {};
  const std::string owned(text);
  std::array<char, INET6_ADDRSTRLEN> out{};
  in_addr v4{};
  if (inet_pton(AF_INET, owned.c_str(), &v4) == 1) return inet_ntop(AF_INET, &v4, out.data(), out.size());
  in6_addr v6{};
  if (inet_pton(AF_INET6, owned.c_str(), &v6) != 1) return {};
  static constexpr unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  if (std::memcmp(v6.s6_addr, kMapped, sizeof kMapped) == 0) {
    std::memcpy(&v4, v6.s6_addr + 12, 4);
    return inet_ntop(AF_INET, &v4, out.data(), out.size());
  }
  return inet_ntop(AF_INET6, &v6, out.data(), out.size());
}

std::string LastForwardedHop(const Fields& headers) {
  std::string_view last;
  bool found = false;
  for (const auto& [name, value] : headers) {
    if (name.size() == 15 && strncasecmp(name.c_str(), "X-Forwarded-For", 15) == 0) {
      last = value;
      found = true;
    }
  }
  if (!found) return {};
  const std::size_t comma = last.rfind(',');
  return CanonicalAddress(Trimmed(comma == std::string_view::npos ? last : last.substr(comma + 1)));
}

}  // namespace wharfling::server
