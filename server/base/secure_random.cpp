#include "server/base/secure_random.h"

#include <openssl/rand.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace wharfling::server {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string RandomHex(std::size_t count) {
  std::vector<unsigned char> bytes(count);
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
    std::fputs("parvault-server: the random generator failed\n", stderr);
    std::abort();
  }
  return ToHex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
  return out;
}

std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string out;
  out.reserve(hex.size() / 2);
  for (std::size_t at = 0; at < hex.size(); at += 2) {
    const int high = HexDigit(hex[at]);
    const int low = HexDigit(hex[at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
  }
  return out;
}

}  // namespace wharfling::server
