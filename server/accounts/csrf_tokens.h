#pragma once
// The token every changing form of a session carries: an HMAC of the session token under a key
// this server draws at start, so nothing more is stored per session and a token is worth nothing
// for another session or after a restart.

#include <string>
#include <string_view>

namespace wharfling::server {

class CsrfTokens {
 public:
  CsrfTokens();
  // 64 hex digits.
  std::string For(std::string_view sessionToken) const;
  // Compared in constant time.
  bool Matches(std::string_view sessionToken, std::string_view given) const;

 private:
  std::string key_;
};

}  // namespace wharfling::server
