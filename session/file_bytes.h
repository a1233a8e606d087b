#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace wharfling {

// Opens the file at path, stores its length in size and, when contents is given, reads the whole
// file into it. False, reading nothing, when the file cannot be opened, its length cannot be taken,
// or it cannot be read whole. Sizes are 64-bit: nothing is taken modulo 2^32.
bool ReadFileBytes(const std::string& path, std::uint64_t& size, std::string* contents = nullptr);

// Fills place with the first place.size() bytes of the file at path, straight from the file. False
// when the file cannot be opened or holds fewer bytes (it shrank since its size was taken).
bool ReadFileInto(const std::string& path, std::span<char> place);

}  // namespace wharfling
