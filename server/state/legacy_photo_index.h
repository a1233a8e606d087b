#pragma once
// The per-account index of the server's earlier versions, ".photos.json" beside the photos: read
// once at start so that the photos keep the ids their links and bookmarks name.

#include <optional>
#include <string_view>
#include <vector>

#include "server/state/library_state.h"

namespace wharfling::server::state {

inline constexpr std::string_view kLegacyIndexName = ".photos.json";

// The records of an index text (account left empty); nothing when the text is no such index or
// any record in it is unsound (a name that is a path or a hidden file, an id of the wrong form).
std::optional<std::vector<PhotoEntry>> ParseLegacyIndex(std::string_view text);

}  // namespace wharfling::server::state
