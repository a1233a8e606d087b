#pragma once
// Copies a library's state from one database to another (SQLite to PostgreSQL and back), photo ids
// and the order of the records kept, so that links, thumbnails and the gallery's order survive the
// move. Room held for uploads and the brake's counts stay behind.

#include <cstdint>
#include <string>

#include "server/state/library_state.h"

namespace wharfling::server::state {

struct CopySummary {
  std::uint64_t photos = 0;
  std::uint64_t sessions = 0;
  bool alreadyThere = false;  // the target held this very library already, and was left as it was
};

// Refuses (false, with error) a target that holds anything but the source's own records and key, as
// a copy run before leaves it. Reads and writes a batch of records at a time.
bool CopyLibraryState(LibraryState& from, LibraryState& to, CopySummary& summary, std::string& error);

}  // namespace wharfling::server::state
