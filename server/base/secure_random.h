#pragma once
// Unpredictable bytes for salts and session tokens, from OpenSSL's generator.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wharfling::server {

// `count` random bytes as 2 * count lower-case hex digits. Aborts when the generator fails:
// a predictable token or salt is worse than no server.
std::string RandomHex(std::size_t count);

std::string ToHex(std::string_view bytes);
// The bytes of an even-length hex text, or nothing when it is not one.
std::optional<std::string> FromHex(std::string_view hex);

}  // namespace wharfling::server
