#include "session/upload_list.h"

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

// The extension of a file name: from its last dot on, or empty.
std::string_view ExtensionOf(std::string_view name) {
  std::size_t dot = std::string_view::npos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(name[i]))) {
      ++i;
    } else if (name[i] == '.') {
      dot = i;
    }
  }
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

}  // namespace

std::string_view FileNameOf(std::string_view pathText) { return pathText.substr(FileNameStart(pathText)); }

Text DisplayNameOf(std::string_view pathText) { return Text(FileNameOf(pathText)); }

int ExtensionIn(std::string_view pathText, std::string_view list) {
  const Text lowered = LowerCaseText(pathText);
  const std::size_t pos = FindText(list, ExtensionOf(FileNameOf(lowered)));
  return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

}  // namespace wharfling
