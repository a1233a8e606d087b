#pragma once
// Unpredictable values the state draws (photo ids, session tokens, keys) and the one-way hash a
// session token is kept as, so that a copy of the database signs nobody in.

#include <cstddef>
#include <string>
#include <string_view>

namespace wharfling::server::state {

// `count` random bytes; aborts when the generator fails (a guessable token is worse than none).
std::string RandomBytes(std::size_t count);
// The same as 2 * count lower-case hex digits.
std::string RandomHexDigits(std::size_t count);

// A photo's id: 32 lower-case hex digits.
std::string NewPhotoId();
bool IsPhotoId(std::string_view text);

// The bytes as lower-case hex digits, two a byte.
std::string HexOf(std::string_view bytes);

// SHA-256 of the token, in hex.
std::string TokenHash(std::string_view token);

}  // namespace wharfling::server::state
