#pragma once
// What the server does with its state before it serves: for each account, the old index is taken
// over once (ids kept), and the records are made to agree with the folder. A published file without
// a record gets one with a new id, which it keeps; a record whose file is gone is dropped; a file
// whose size changed keeps its id and is looked at again. A folder that cannot be read leaves its
// records as they are: no photo is lost or hidden because a disk was late.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "server/state/library_state.h"

namespace wharfling::server::state {

// The content type the server serves a file's bytes with ("" when none); given the open folder.
using InspectFile = std::function<std::string(int folder, const std::string& name)>;

struct StartUpCounts {
  std::size_t takenOver = 0;  // records of old indexes whose ids were kept
  std::size_t added = 0;      // files that got a new id
  std::size_t changed = 0;
  std::size_t removed = 0;
  std::vector<std::string> unreadableFolders;
};

// False, with error, when the state could not record what was found.
bool ReconcileAccounts(LibraryState& state, const std::filesystem::path& storage,
                       const std::vector<std::string>& accounts, const InspectFile& inspect,
                       StartUpCounts& counts, std::string& error);

}  // namespace wharfling::server::state
