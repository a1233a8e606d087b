#pragma once
// What a stored file is, judged by its first bytes only: a name says what its sender claimed,
// the bytes say what a browser would make of it.

#include <cstddef>
#include <string_view>

namespace wharfling::server {

// Bytes enough for every signature below.
inline constexpr std::size_t kSniffBytes = 12;

// "image/jpeg", "image/png", "image/gif" or "image/webp"; "" for anything else.
std::string_view SniffImageType(std::string_view firstBytes);

}  // namespace wharfling::server
