#pragma once
// An account's folder as the start-up sees it: the published photos (regular files whose names do
// not start with a dot; temporary files, thumbnails and indexes all do) and small hidden files.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wharfling::server::state {

class FolderHandle {
 public:
  FolderHandle() = default;
  explicit FolderHandle(int fd) : fd_(fd) {}
  ~FolderHandle();
  FolderHandle(FolderHandle&& other) noexcept;
  FolderHandle& operator=(FolderHandle&&) = delete;
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

struct FolderFile {
  std::string name;
  std::uint64_t size = 0;
  std::int64_t modifiedMs = 0;
};

// <storage>/<account>, never through a symbolic link; invalid when it is missing or cannot be opened
// (then `missing` tells which).
FolderHandle OpenAccountFolder(const std::filesystem::path& storage, std::string_view account, bool& missing);

// The published files, or nothing when the folder cannot be read to its end.
std::optional<std::vector<FolderFile>> ListPublishedFiles(int folder);

// A hidden regular file's bytes, or nothing when it is missing, unreadable or larger than maxBytes.
std::optional<std::string> ReadHiddenFile(int folder, std::string_view name, std::size_t maxBytes);

}  // namespace wharfling::server::state
