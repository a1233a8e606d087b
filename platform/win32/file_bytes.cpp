// Whole-file reading for the Windows build. Paths are system-code-page text, so they go to the ANSI
// file API as they are; a narrow std::filesystem path is not guaranteed to name the same file.

#include "session/file_bytes.h"

#include <windows.h>

#include <algorithm>

namespace wharfling {
namespace {

HANDLE OpenForReading(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads place.size() bytes from the file's current position; false when fewer arrive.
bool ReadWhole(HANDLE file, std::span<char> place) {
  std::size_t done = 0;
  while (done < place.size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(place.size() - done, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(file, place.data() + done, want, &read, nullptr) || read == 0) return false;
    done += read;
  }
  return true;
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::uint64_t& size, std::string* contents) {
  const HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  LARGE_INTEGER length{};
  BY_HANDLE_FILE_INFORMATION information{};
  // A folder opened this way (it is not, without backup semantics) or a device has no length to read.
  if (GetFileInformationByHandle(file, &information) &&
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && GetFileSizeEx(file, &length)) {
    ok = true;
    if (contents != nullptr) {
      std::string bytes(static_cast<std::size_t>(length.QuadPart), '\0');
      ok = ReadWhole(file, bytes);
      if (ok) *contents = std::move(bytes);
    }
    if (ok) size = static_cast<std::uint64_t>(length.QuadPart);
  }
  CloseHandle(file);
  return ok;
}

bool ReadFileInto(const std::string& path, std::span<char> place) {
  const HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = ReadWhole(file, place);
  CloseHandle(file);
  return ok;
}

}  // namespace wharfling
