#pragma once
// An advisory lock on a lock file, so that programs that change one file take turns: each holds the
// lock from reading the file to replacing it, and nothing one of them writes is lost to another.

#include <chrono>
#include <filesystem>
#include <string>

namespace wharfling::posix {

class FileLock {
 public:
  // Waits at most patience for the exclusive lock on lockPath, creating the file (0600, and its
  // folders 0700) when missing. held() tells whether it was got; reason() says why not.
  FileLock(const std::filesystem::path& lockPath, std::chrono::milliseconds patience);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool held() const { return fd_ >= 0; }
  const std::string& reason() const { return reason_; }

 private:
  int fd_ = -1;
  std::string reason_;
};

}  // namespace wharfling::posix
