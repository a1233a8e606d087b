#include "server/state/state_tokens.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdio>
#include <cstdlib>

namespace wharfling::server::state {
std::string HexOf(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const unsigned char byte : bytes) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 15]);
  }
  return hex;
}

std::string RandomBytes(std::size_t count) {
  std::string bytes(count, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
    std::fputs("parvault-server: the random generator failed\n", stderr);
    std::abort();
  }
  return bytes;
}

std::string RandomHexDigits(std::size_t count) { return HexOf(RandomBytes(count)); }

std::string NewPhotoId() { return RandomHexDigits(16); }

bool IsPhotoId(std::string_view text) {
  return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string TokenHash(std::string_view token) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(token.data(), token.size(), digest, &length, EVP_sha256(), nullptr);
  return HexOf(std::string_view(reinterpret_cast<const char*>(digest), length));
}

}  // namespace wharfling::server::state
