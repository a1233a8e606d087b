#pragma once
// The token every changing form of a session carries: an HMAC of the session token under a key
// this server draws at start, so nothing more is stored per session and a token is worth nothing
// for another session or after a restart.

#include <string>
#include <string_view>
#include <utility>

namespace wharfling::server {

class CsrfTokens {
 public:
  // A key drawn now: tokens are worth nothing after a restart.
  CsrfTokens();
  // A key kept elsewhere (32 raw bytes), so that forms stay valid across restarts.
  explicit CsrfTokens(std::string key) : key_(std::move(key)) {}
  // 64 hex digits.
  std::string For(std::string_view sessionToken) const;
  // Compared in constant time.
  bool Matches(std::string_view sessionToken, std::string_view given) const;

 private:
  std::string key_;
};

}  // namespace wharfling::server
