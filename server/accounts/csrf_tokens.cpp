#include "server/accounts/csrf_tokens.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "server/base/secure_random.h"

namespace wharfling::server {

CsrfTokens::CsrfTokens() : key_(*FromHex(RandomHex(32))) {}

std::string CsrfTokens::For(std::string_view sessionToken) const {
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()),
       reinterpret_cast<const unsigned char*>(sessionToken.data()), sessionToken.size(), mac, &length);
  return ToHex(std::string_view(reinterpret_cast<const char*>(mac), length));
}

bool CsrfTokens::Matches(std::string_view sessionToken, std::string_view given) const {
  const std::string expected = For(sessionToken);
  return given.size() == expected.size() &&
         CRYPTO_memcmp(given.data(), expected.data(), expected.size()) == 0;
}

}  // namespace wharfling::server
