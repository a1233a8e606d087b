// Whole-file reading for the Windows build. Paths are system-code-page text, so they go to the ANSI
// file API as they are; a narrow std::filesystem path is not guaranteed to name the same file.

#include "session/file_bytes.h"

#include <windows.h>

#include <algorithm>

namespace wharfling {

bool ReadFileBytes(const std::string& path, std::uint64_t& size, std::string* contents) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
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
      std::size_t done = 0;
      while (ok && done < bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD read = 0;
        ok = ReadFile(file, bytes.data() + done, want, &read, nullptr) && read != 0;
        done += read;
      }
      if (ok) *contents = std::move(bytes);
    }
    if (ok) size = static_cast<std::uint64_t>(length.QuadPart);
  }
  CloseHandle(file);
  return ok;
}

}  // namespace wharfling
