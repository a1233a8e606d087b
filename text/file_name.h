#pragma once
// The file name within a path written as CP932 text, as the uploader sends it and the server
// receives it.

#include <string_view>

namespace wharfling {

// The file name and extension of a path: what follows its drive ("C:") and its last separator
// ('/' or '\\'). Double-byte aware: a trail byte that looks like '\\' is no separator.
std::string_view FileNameOf(std::string_view pathText);

}  // namespace wharfling
