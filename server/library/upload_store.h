#pragma once
// The storage folder: one folder per account, <storage>/<account>/. An upload is written to a
// temporary file inside the account's folder and published under its name only once complete,
// never replacing an existing file. Everything is reached through directory descriptors and
// names without separators, so nothing is ever written outside the storage folder.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/base/unique_fd.h"

namespace wharfling::server {

// Temporary files are ".upload-<random>.part": hidden, and a name no upload may take.
inline constexpr std::string_view kTemporaryPrefix = ".upload-";
inline constexpr std::string_view kTemporarySuffix = ".part";

struct StoredFile {
  std::string name;  // UTF-8, as on disk
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // last change, nanoseconds since 1970
};

// A file being received; removed when dropped unless it was published.
class PendingFile {
 public:
  PendingFile(UniqueFd folder, UniqueFd file, std::string temporaryName);
  ~PendingFile();
  PendingFile(PendingFile&& other) noexcept;
  PendingFile& operator=(PendingFile&&) = delete;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  bool Write(const char* data, std::size_t size);
  std::uint64_t size() const { return size_; }
  // Flushes the file to disk and gives it `name`, or "name (2)", "name (3)"... when that is taken;
  // returns the name used, or nothing (and the file is removed) when it cannot be published.
  std::optional<std::string> Publish(std::string_view name, std::string& error);

 private:
  void Discard();

  UniqueFd folder_;
  UniqueFd file_;
  std::string temporaryName_;
  std::uint64_t size_ = 0;
  bool done_ = false;
};

class UploadStore {
 public:
  // Creates the storage folder if needed and keeps it open.
  bool Open(const std::filesystem::path& root, std::string& error);
  const std::filesystem::path& root() const { return root_; }

  // A new temporary file in the account's folder (created on first use).
  std::optional<PendingFile> CreatePending(std::string_view folderName, std::string& error) const;
  // The published files of an account, by name, at most `limit` of them.
  std::vector<StoredFile> List(std::string_view folderName, std::size_t limit) const;
  // Removes temporary files left by an earlier run that stopped in the middle of an upload.
  void RemoveLeftovers(std::string_view folderName) const;
  // The account's folder, never through a symbolic link; invalid (with error) when it cannot be.
  UniqueFd OpenFolder(std::string_view folderName, bool create, std::string& error) const;

 private:
  std::filesystem::path root_;
  UniqueFd rootFd_;
};

}  // namespace wharfling::server
