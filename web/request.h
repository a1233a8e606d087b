#pragma once
// PLACEHOLDER until the web layer lands
#include <cstdint>
#include <string_view>
#include <vector>
namespace wharfling {
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000;
inline constexpr std::uint32_t kFlagSecure = 0x00800000;
enum class AccessMode { kSystemSettings = 0, kDirect = 1 };
enum class Method { kGet, kPost };
struct RequestProfile {
  std::string_view userAgent;
  std::vector<std::string_view> headerLines;
};
const RequestProfile& Msie6Profile();
}  // namespace wharfling
