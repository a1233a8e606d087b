#include "server/state/account_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace wharfling::server::state {

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) ::close(fd_);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderHandle OpenAccountFolder(const std::filesystem::path& storage, std::string_view account,
                               bool& missing) {
  const std::filesystem::path path = storage / std::string(account);
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  missing = fd < 0 && errno == ENOENT;
  return FolderHandle(fd);
}

std::optional<std::vector<FolderFile>> ListPublishedFiles(int folder) {
  const int copy = ::dup(folder);
  if (copy < 0) return std::nullopt;
  DIR* dir = ::fdopendir(copy);
  if (dir == nullptr) {
    ::close(copy);
    return std::nullopt;
  }
  ::rewinddir(dir);
  std::vector<FolderFile> files;
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    struct stat info {};
    if (name.front() == '.' || ::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode)) {
      errno = 0;
      continue;
    }
    files.push_back({std::string(name), static_cast<std::uint64_t>(info.st_size),
                     static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000});
  }
  const bool whole = errno == 0;
  ::closedir(dir);
  if (!whole) return std::nullopt;
  return files;
}

std::optional<std::string> ReadHiddenFile(int folder, std::string_view name, std::size_t maxBytes) {
  const std::string copy(name);
  const int fd = ::openat(folder, copy.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  FolderHandle file(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    return std::nullopt;
  }
  std::string bytes;
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(got));
    if (bytes.size() > maxBytes) return std::nullopt;
  }
}

}  // namespace wharfling::server::state
