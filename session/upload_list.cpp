#include "session/upload_list.h"

namespace wharfling {
namespace {

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

Text DisplayNameOf(std::string_view pathText) { return Text(FileNameOf(pathText)); }

int ExtensionIn(std::string_view pathText, std::string_view list) {
  const Text lowered = LowerCaseText(pathText);
  const std::size_t pos = FindText(list, ExtensionOf(FileNameOf(lowered)));
  return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

}  // namespace wharfling
