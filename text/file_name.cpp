#include "text/file_name.h"

#include "text/text.h"

namespace wharfling {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Offset just past the drive and folder of a path: the start of its file name.
std::size_t FileNameStart(std::string_view path) {
  std::size_t start = 0;
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') start = 2;
  for (std::size_t i = start; i < path.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(path[i]))) {
      ++i;  // a trail byte may look like a backslash; it is not a separator
    } else if (path[i] == '\\' || path[i] == '/') {
      start = i + 1;
    }
  }
  return start;
}

}  // namespace

std::string_view FileNameOf(std::string_view pathText) { return pathText.substr(FileNameStart(pathText)); }

}  // namespace wharfling
