#pragma once
// Reading a small file whole, and replacing one so that readers and crashes only ever see the old
// contents or the new ones, never a mix or a truncated file.

#include <cstddef>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

namespace wharfling::posix {

struct FileContents {
  enum class Outcome { kRead, kMissing, kFailed };
  Outcome outcome = Outcome::kFailed;
  std::string bytes;   // kRead: the whole file
  std::string reason;  // kFailed: why, for the user
};

// kMissing only when the file (or a folder above it) does not exist; anything else that keeps the
// file from being read whole (permissions, a folder in its place, I/O errors, more than maxBytes) is
// kFailed.
FileContents ReadWholeFile(const std::filesystem::path& path,
                           std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// Replaces the file at path with bytes, mode 0600: missing folders are created (0700), the bytes go
// to a temporary file in the same folder that is flushed to disk and renamed over path, then the
// folder is flushed so the rename itself lasts. A symbolic link at path is followed, so the file it
// names is replaced and the link kept. On failure the old file is untouched, no temporary file is
// left, and reason says why.
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string& reason);

// Removes the temporary files that replacements of path killed midway left beside it. Only safe while
// no other replacement of path can be under way (its writers hold a lock). The number removed.
int RemoveLeftoverTemporaries(const std::filesystem::path& path);

// Creates the folder and the missing ones above it, mode 0700; false with reason when it cannot.
bool CreateFolders(const std::filesystem::path& folder, std::string& reason);

}  // namespace wharfling::posix
