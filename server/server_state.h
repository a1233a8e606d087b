#pragma once
// Where the server keeps what it remembers beside the photos' files: the photo records, the
// sessions, the login brake's counts, the CSRF key and each account's room under the quota. The
// server reaches them only through state::LibraryState; a back end is chosen by the function that
// opens it (SQLite in the storage folder by default).

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "server/library/upload_store.h"
#include "server/state/database_choice.h"
#include "server/state/library_state.h"

namespace wharfling::server {

using StateLog = std::function<void(const std::string&)>;
// Opens the state for the storage folder; nothing, with error, when it cannot be.
using OpenLibraryState = std::function<std::unique_ptr<state::LibraryState>(
    const std::filesystem::path& storage, const StateLog& log, std::string& error)>;

// The default: one SQLite file in the storage folder (state::kSqliteStateFileName).
std::unique_ptr<state::LibraryState> OpenSqliteStateIn(const std::filesystem::path& storage,
                                                       const StateLog& log, std::string& error);

// Opens the database --database chose, whatever the storage folder.
OpenLibraryState OpenChosenState(state::DatabaseChoice choice);

// Before serving: the records made to agree with the accounts' folders (an old index taken over
// once), what changed told to the log. False, with error, when the state cannot record it.
bool ReconcileWithFolders(state::LibraryState& library, const UploadStore& store,
                          const std::vector<std::string>& accounts, const StateLog& log, std::string& error);

}  // namespace wharfling::server
