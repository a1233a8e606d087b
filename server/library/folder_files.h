#pragma once
// Small whole-file reads and writes inside an open folder, by names without separators. A write
// goes to a hidden temporary file first and takes the name only once on disk, so a reader (or a
// restart after a crash) sees the old bytes or the new, never half of them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wharfling::server {

// The hidden temporary names of those writes: ".write-<random>.tmp".
inline constexpr std::string_view kWritePrefix = ".write-";
inline constexpr std::string_view kWriteSuffix = ".tmp";

bool WriteFileAtomically(int folder, std::string_view name, std::string_view bytes, std::string& error);

// The file's bytes, or nothing when it is missing, not a regular file or larger than maxBytes.
std::optional<std::string> ReadSmallFile(int folder, std::string_view name, std::size_t maxBytes);

// Up to `count` bytes from the file's start ("" when it cannot be read).
std::string ReadFirstBytes(int folder, std::string_view name, std::size_t count);

// A regular file opened for reading, never through a symbolic link; -1 when it cannot be.
int OpenForReading(int folder, std::string_view name);

}  // namespace wharfling::server
