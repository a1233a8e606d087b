#include "server/server_state.h"

#include "server/library/content_sniffing.h"
#include "server/library/folder_files.h"
#include "server/state/library_startup.h"
#include "server/state/sqlite_library_state.h"

namespace wharfling::server {

std::unique_ptr<state::LibraryState> OpenSqliteStateIn(const std::filesystem::path& storage,
                                                       const StateLog& log, std::string& error) {
  state::SqliteStateOptions options;
  options.file = storage / state::kSqliteStateFileName;
  options.log = log;
  return state::OpenSqliteLibraryState(options, error);
}

OpenLibraryState OpenChosenState(state::DatabaseChoice choice) {
  return [choice = std::move(choice)](const std::filesystem::path&, const StateLog& log, std::string& error) {
    state::LibraryStateOptions options;
    options.log = log;
    return state::OpenLibraryState(choice, options, error);
  };
}

bool ReconcileWithFolders(state::LibraryState& library, const UploadStore& store,
                          const std::vector<std::string>& accounts, const StateLog& log, std::string& error) {
  const state::InspectFile inspect = [](int folder, const std::string& name) {
    return std::string(SniffImageType(ReadFirstBytes(folder, name, kSniffBytes)));
  };
  state::StartUpCounts counts;
  if (!state::ReconcileAccounts(library, store.root(), accounts, inspect, counts, error)) return false;
  if (counts.takenOver + counts.added + counts.changed + counts.removed > 0) {
    log("photo records: " + std::to_string(counts.takenOver) + " taken over from old indexes, " +
        std::to_string(counts.added) + " new, " + std::to_string(counts.changed) + " changed, " +
        std::to_string(counts.removed) + " dropped (their files are gone)");
  }
  for (const auto& folder : counts.unreadableFolders) {
    log("cannot read the folder of " + folder + "; its photo records are kept as they were");
  }
  return true;
}

}  // namespace wharfling::server
