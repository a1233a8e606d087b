#include "server/library/upload_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "server/base/secure_random.h"
#include "server/library/client_file_name.h"
#include "server/library/folder_files.h"

namespace wharfling::server {
namespace {

// How many numbered names are tried before a publication gives up.
constexpr int kMaxNumberedNames = 10000;

std::string ErrnoText() { return std::strerror(errno); }

bool IsFolderName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

bool HasParts(std::string_view name, std::string_view prefix, std::string_view suffix) {
  return name.size() > prefix.size() + suffix.size() && name.starts_with(prefix) && name.ends_with(suffix);
}

// An upload's temporary file, or that of an index or thumbnail being written.
bool IsTemporaryName(std::string_view name) {
  return HasParts(name, kTemporaryPrefix, kTemporarySuffix) || HasParts(name, kWritePrefix, kWriteSuffix);
}

// Calls fn(name) for every entry of the folder other than "." and "..".
template <typename Fn>
void ForEachEntry(int folder, Fn fn) {
  const int copy = ::dup(folder);
  if (copy < 0) return;
  DIR* dir = ::fdopendir(copy);
  if (dir == nullptr) {
    ::close(copy);
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") fn(name);
  }
  ::closedir(dir);
}

}  // namespace

PendingFile::PendingFile(UniqueFd folder, UniqueFd file, std::string temporaryName)
    : folder_(std::move(folder)), file_(std::move(file)), temporaryName_(std::move(temporaryName)) {}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : folder_(std::move(other.folder_)),
      file_(std::move(other.file_)),
      temporaryName_(std::move(other.temporaryName_)),
      size_(other.size_),
      done_(std::exchange(other.done_, true)) {}

PendingFile::~PendingFile() { Discard(); }

void PendingFile::Discard() {
  if (done_) return;
  done_ = true;
  file_.Reset();
  ::unlinkat(folder_.get(), temporaryName_.c_str(), 0);
}

bool PendingFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(file_.get(), data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
    size_ += static_cast<std::uint64_t>(written);
  }
  return true;
}

std::optional<std::string> PendingFile::Publish(std::string_view name, std::string& error) {
  if (done_) {
    error = "the upload was already handled";
    return std::nullopt;
  }
  // On disk before it has a name: a crash must not leave a published file with missing bytes.
  if (::fsync(file_.get()) != 0) {
    error = "cannot flush the upload: " + ErrnoText();
    Discard();
    return std::nullopt;
  }
  file_.Reset();
  const char* from = temporaryName_.c_str();
  for (int number = 1; number <= kMaxNumberedNames; ++number) {
    const std::string candidate = number == 1 ? std::string(name) : NumberedName(name, number);
    // Both ways fail with EEXIST rather than replace a file that is there, even one that another
    // upload published a moment ago.
    if (::renameat2(folder_.get(), from, folder_.get(), candidate.c_str(), RENAME_NOREPLACE) == 0) {
      done_ = true;
      ::fsync(folder_.get());
      return candidate;
    }
    if (errno == EINVAL || errno == ENOSYS) {  // a file system without the no-replace rename
      if (::linkat(folder_.get(), from, folder_.get(), candidate.c_str(), 0) == 0) {
        ::unlinkat(folder_.get(), from, 0);
        done_ = true;
        ::fsync(folder_.get());
        return candidate;
      }
    }
    if (errno != EEXIST) {
      error = "cannot publish " + candidate + ": " + ErrnoText();
      Discard();
      return std::nullopt;
    }
  }
  error = "too many files named " + std::string(name);
  Discard();
  return std::nullopt;
}

bool UploadStore::Open(const std::filesystem::path& root, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(root, ec);
  rootFd_ = UniqueFd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!rootFd_.valid()) {
    error = "cannot open the storage folder " + root.string() + ": " + ErrnoText();
    return false;
  }
  root_ = std::filesystem::absolute(root, ec);
  if (ec) root_ = root;
  return true;
}

UniqueFd UploadStore::OpenFolder(std::string_view folderName, bool create, std::string& error) const {
  if (!IsFolderName(folderName)) {
    error = "bad folder name";
    return UniqueFd();
  }
  const std::string name(folderName);
  if (create && ::mkdirat(rootFd_.get(), name.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot create the folder " + name + ": " + ErrnoText();
    return UniqueFd();
  }
  // O_NOFOLLOW: a symbolic link planted in the storage folder must not lead uploads elsewhere.
  UniqueFd folder(::openat(rootFd_.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder.valid()) error = "cannot open the folder " + name + ": " + ErrnoText();
  return folder;
}

std::optional<PendingFile> UploadStore::CreatePending(std::string_view folderName, std::string& error) const {
  UniqueFd folder = OpenFolder(folderName, true, error);
  if (!folder.valid()) return std::nullopt;
  std::string name = std::string(kTemporaryPrefix) + RandomHex(12) + std::string(kTemporarySuffix);
  UniqueFd file(
      ::openat(folder.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!file.valid()) {
    error = "cannot create a temporary file: " + ErrnoText();
    return std::nullopt;
  }
  return PendingFile(std::move(folder), std::move(file), std::move(name));
}

std::vector<StoredFile> UploadStore::List(std::string_view folderName, std::size_t limit) const {
  std::string error;
  std::vector<StoredFile> files;
  const UniqueFd folder = OpenFolder(folderName, false, error);
  if (!folder.valid()) return files;
  ForEachEntry(folder.get(), [&](std::string_view name) {
    if (name.front() == '.') return;
    struct stat info {};
    const std::string copy(name);
    if (::fstatat(folder.get(), copy.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
      return;
    const std::int64_t modifiedNs =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    files.push_back({copy, static_cast<std::uint64_t>(info.st_size), modifiedNs});
  });
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  if (files.size() > limit) files.resize(limit);
  return files;
}

void UploadStore::RemoveLeftovers(std::string_view folderName) const {
  std::string error;
  const UniqueFd folder = OpenFolder(folderName, false, error);
  if (!folder.valid()) return;
  std::vector<std::string> leftovers;
  ForEachEntry(folder.get(), [&](std::string_view name) {
    if (IsTemporaryName(name)) leftovers.emplace_back(name);
  });
  for (const auto& name : leftovers) ::unlinkat(folder.get(), name.c_str(), 0);
}

}  // namespace wharfling::server
