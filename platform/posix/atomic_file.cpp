#include "platform/posix/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace wharfling::posix {
namespace {

std::string Describe(const std::string& what, const std::filesystem::path& path, int error) {
  return what + " " + path.string() + ": " + std::strerror(error);
}

// Closes the descriptor on every path out.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now, reporting the result (a delayed write error can surface here).
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

constexpr std::string_view kTemporarySuffix = "XXXXXX";

std::filesystem::path FolderOf(const std::filesystem::path& target) {
  return target.has_parent_path() ? target.parent_path() : ".";
}

// ".<name>.tmp" followed by the suffix that mkostemp fills in: hidden, and unlike a name a person
// would give a file of their own.
std::string TemporaryPrefix(const std::filesystem::path& target) {
  return "." + target.filename().string() + ".tmp";
}

// The file a replacement writes: the one a symbolic link at path names, else path.
bool ResolveTarget(const std::filesystem::path& path, std::filesystem::path& target, std::string& reason) {
  target = path;
  std::error_code error;
  if (std::filesystem::is_symlink(path, error)) {
    target = std::filesystem::canonical(path, error);
    if (error) {
      reason = "cannot follow the symbolic link " + path.string() + ": " + error.message();
      return false;
    }
  }
  return true;
}

// Writes bytes to a new temporary file beside target and renames it over target.
bool WriteAndRename(const std::filesystem::path& target, std::string_view bytes, std::string& reason) {
  const std::filesystem::path folder = FolderOf(target);
  std::string temporary = (folder / (TemporaryPrefix(target) + std::string(kTemporarySuffix))).string();
  FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (file.get() < 0) {
    reason = Describe("cannot create a temporary file in", folder, errno);
    return false;
  }
  const auto fail = [&](const char* what) {
    reason = Describe(what, temporary, errno);
    ::unlink(temporary.c_str());
    return false;
  };
  if (::fchmod(file.get(), 0600) != 0) return fail("cannot set the mode of");
  if (!WriteAll(file.get(), bytes)) return fail("cannot write");
  if (::fsync(file.get()) != 0) return fail("cannot flush");
  if (file.Close() != 0) return fail("cannot close");
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    reason = Describe("cannot replace", target, errno);
    ::unlink(temporary.c_str());
    return false;
  }
  FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // Some file systems cannot flush a folder (EINVAL); the file itself is on disk by then.
  if (directory.get() < 0 || (::fsync(directory.get()) != 0 && errno != EINVAL)) {
    reason = Describe("replaced the file but cannot flush the folder", folder, errno);
    return false;
  }
  return true;
}

}  // namespace

bool CreateFolders(const std::filesystem::path& folder, std::string& reason) {
  std::filesystem::path prefix;
  for (const auto& part : folder) {
    prefix /= part;
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
      reason = Describe("cannot create the folder", prefix, errno);
      return false;
    }
  }
  return true;
}

FileContents ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
  FileContents result;
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    if (errno == ENOENT) {
      result.outcome = FileContents::Outcome::kMissing;
    } else {
      result.reason = Describe("cannot open", path, errno);
    }
    return result;
  }
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) {
    result.reason = Describe("cannot examine", path, errno);
    return result;
  }
  if (!S_ISREG(status.st_mode)) {
    result.reason = "cannot read " + path.string() + ": not a regular file";
    return result;
  }
  const auto tooLarge = [&] {
    result.reason = path.string() + " is larger than " + std::to_string(maxBytes) + " bytes";
    result.bytes.clear();
    return result;
  };
  if (static_cast<std::uintmax_t>(status.st_size) > maxBytes) return tooLarge();
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.reason = Describe("cannot read", path, errno);
      result.bytes.clear();
      return result;
    }
    if (got == 0) break;
    // The file may grow while it is read.
    if (static_cast<std::size_t>(got) > maxBytes - result.bytes.size()) return tooLarge();
    result.bytes.append(buffer, static_cast<std::size_t>(got));
  }
  result.outcome = FileContents::Outcome::kRead;
  return result;
}

bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string& reason) {
  std::filesystem::path target;
  if (!ResolveTarget(path, target, reason)) return false;
  if (target.has_parent_path() && !CreateFolders(target.parent_path(), reason)) return false;
  return WriteAndRename(target, bytes, reason);
}

int RemoveLeftoverTemporaries(const std::filesystem::path& path) {
  std::filesystem::path target;
  std::string reason;
  if (!ResolveTarget(path, target, reason)) return 0;
  const std::string prefix = TemporaryPrefix(target);
  int removed = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(FolderOf(target), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() != prefix.size() + kTemporarySuffix.size() || !name.starts_with(prefix)) continue;
    std::error_code kind;
    if (!it->is_symlink(kind) && it->is_regular_file(kind)) removed += ::unlink(it->path().c_str()) == 0;
  }
  return removed;
}

}  // namespace wharfling::posix
