#include "platform/posix/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/posix/atomic_file.h"

namespace wharfling::posix {
namespace {

// Short enough that a waiting save goes on soon after the other one ends.
constexpr std::chrono::milliseconds kRetryEvery{10};

}  // namespace

FileLock::FileLock(const std::filesystem::path& lockPath, std::chrono::milliseconds patience) {
  if (lockPath.has_parent_path() && !CreateFolders(lockPath.parent_path(), reason_)) return;
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    reason_ = "cannot open the lock file " + lockPath.string() + ": " + std::strerror(errno);
    return;
  }
  // Polled rather than blocking, so that the wait has an end even when the holder never lets go.
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      reason_ = "cannot lock " + lockPath.string() + ": " + std::strerror(errno);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      reason_ = "another program kept " + lockPath.string() + " locked for " +
                std::to_string(patience.count() / 1000) + " s";
      break;
    }
    std::this_thread::sleep_for(kRetryEvery);
  }
  ::close(fd);
}

FileLock::~FileLock() {
  // Closing the only descriptor lets go of the lock.
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace wharfling::posix
