#include "session/file_bytes.h"

#include <filesystem>
#include <fstream>

namespace wharfling {

bool ReadFileBytes(const std::string& path, std::uint64_t& size, std::string* contents) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const auto length = std::filesystem::file_size(path, error);
  if (error) return false;
  if (contents != nullptr) {
    std::string bytes(static_cast<std::size_t>(length), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(length))) return false;
    *contents = std::move(bytes);
  }
  size = length;
  return true;
}

bool ReadFileInto(const std::string& path, std::span<char> place) {
  std::ifstream in(path, std::ios::binary);
  return in && in.read(place.data(), static_cast<std::streamsize>(place.size()));
}

}  // namespace wharfling
