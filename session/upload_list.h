#pragma once
// The accepted files of one drop, and the text helpers the screening and the drivers share.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/file_name.h"
#include "text/text.h"

namespace wharfling {

struct UploadItem {
  std::string path;  // native bytes, for file I/O
  Text pathText;     // the path as CP932 text, for messages and file names sent to sites
  Text displayName;  // file name with extension, no folder
  std::uint64_t size = 0;
};

using UploadList = std::vector<UploadItem>;

// The same as text: the key of an item's row.
Text DisplayNameOf(std::string_view pathText);

// Position of the path's lower-cased extension (dot included; empty when the name has none) in
// list, or -1.
int ExtensionIn(std::string_view pathText, std::string_view list);

}  // namespace wharfling
