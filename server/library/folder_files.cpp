#include "server/library/folder_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "server/base/secure_random.h"
#include "server/base/unique_fd.h"

namespace wharfling::server {

bool WriteFileAtomically(int folder, std::string_view name, std::string_view bytes, std::string& error) {
  const std::string temporary = std::string(kWritePrefix) + RandomHex(8) + std::string(kWriteSuffix);
  const std::string target(name);
  UniqueFd file(
      ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!file.valid()) {
    error = "cannot create " + temporary + ": " + std::strerror(errno);
    return false;
  }
  bool ok = true;
  while (ok && !bytes.empty()) {
    const ssize_t written = ::write(file.get(), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    ok = written > 0;
    if (ok) bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  ok = ok && ::fsync(file.get()) == 0;
  file.Reset();
  if (!ok || ::renameat(folder, temporary.c_str(), folder, target.c_str()) != 0) {
    error = "cannot write " + target + ": " + std::strerror(errno);
    ::unlinkat(folder, temporary.c_str(), 0);
    return false;
  }
  ::fsync(folder);
  return true;
}

int OpenForReading(int folder, std::string_view name) {
  const std::string copy(name);
  UniqueFd file(::openat(folder, copy.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return file.Release();
}

std::optional<std::string> ReadSmallFile(int folder, std::string_view name, std::size_t maxBytes) {
  UniqueFd file(OpenForReading(folder, name));
  if (!file.valid()) return std::nullopt;
  std::string bytes;
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(got));
    if (bytes.size() > maxBytes) return std::nullopt;
  }
}

std::string ReadFirstBytes(int folder, std::string_view name, std::size_t count) {
  UniqueFd file(OpenForReading(folder, name));
  std::string bytes(count, '\0');
  if (!file.valid()) return {};
  const ssize_t got = ::pread(file.get(), bytes.data(), count, 0);
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

}  // namespace wharfling::server
