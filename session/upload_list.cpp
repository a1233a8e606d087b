#include "session/upload_list.h"

namespace wharfling {
namespace {

// Offset just past the drive and folder of a path: the start of its file name.
std::size_t FileNameStart(std::string_view path) {
  std::size_t start = 0;
  if (path.size() >= 2 && path[1] == ':' && !IsLeadByte(static_cast<unsigned char>(path[0]))) start = 2;
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

Text DisplayNameOf(std::string_view pathText) { return Text(pathText.substr(FileNameStart(pathText))); }

int ExtensionIn(std::string_view pathText, std::string_view list) {
  const Text lowered = LowerCaseText(pathText);
  const std::string_view name = std::string_view(lowered).substr(FileNameStart(lowered));
  const std::size_t pos = FindText(list, ExtensionOf(name));
  return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

}  // namespace wharfling
