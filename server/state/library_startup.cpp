#include "server/state/library_startup.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_set>

#include "server/state/account_folder.h"
#include "server/state/legacy_photo_index.h"
#include "server/state/state_tokens.h"

namespace wharfling::server::state {
namespace {

constexpr std::size_t kMaxLegacyIndexBytes = 64 * 1024 * 1024;
// New records are written this many to a transaction, so that a folder of 100,000 files never has
// all of its records in memory at once.
constexpr std::size_t kRecordsPerWrite = 5000;

constexpr auto kByName = [](const auto& a, const auto& b) { return a.storedName < b.storedName; };

// Removes a thumbnail file named by a record (only ever a hidden name inside the folder).
void RemoveThumbnail(int folder, const std::string& thumbnail) {
  if (thumbnail.empty() || thumbnail == kNoThumbnail || thumbnail.front() != '.' ||
      thumbnail.find('/') != std::string::npos) {
    return;
  }
  ::unlinkat(folder, thumbnail.c_str(), 0);
}

// The old index's records, by name, whose names have no record yet and whose ids are free.
std::vector<PhotoEntry> LegacyRecords(int folder, const std::vector<RecordedFile>& records) {
  const auto text = ReadHiddenFile(folder, kLegacyIndexName, kMaxLegacyIndexBytes);
  if (!text) return {};
  auto legacy = ParseLegacyIndex(*text);
  if (!legacy) return {};
  std::unordered_set<std::string> ids;
  for (const auto& record : records) ids.insert(record.id);
  std::vector<PhotoEntry> kept;
  for (auto& photo : *legacy) {
    const auto recorded = std::lower_bound(records.begin(), records.end(), photo, kByName);
    if (recorded != records.end() && recorded->storedName == photo.storedName) continue;
    if (!ids.insert(photo.id).second) continue;  // its file is treated as a new one
    kept.push_back(std::move(photo));
  }
  std::sort(kept.begin(), kept.end(), kByName);
  kept.erase(std::unique(kept.begin(), kept.end(),
                         [](const auto& a, const auto& b) { return a.storedName == b.storedName; }),
             kept.end());
  return kept;
}

class AccountReconciler {
 public:
  AccountReconciler(LibraryState& state, std::string account, int folder, const InspectFile& inspect)
      : state_(state), account_(std::move(account)), folder_(folder), inspect_(inspect) {}

  // Walks the records and the files together, both in name order.
  bool Run(const std::vector<RecordedFile>& records, std::vector<PhotoEntry> legacy,
           std::vector<FolderFile> files, StartUpCounts& counts) {
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::vector<const FolderFile*> unrecorded;
    auto record = records.begin();
    for (const auto& file : files) {
      for (; record != records.end() && record->storedName < file.name; ++record) Drop(*record);
      if (record != records.end() && record->storedName == file.name) {
        if (record->size != file.size) LookAgain(*record, file);
        ++record;
        continue;
      }
      const auto old =
          std::lower_bound(legacy.begin(), legacy.end(), file.name,
                           [](const PhotoEntry& p, const std::string& name) { return p.storedName < name; });
      // Another file that took a taken-over name is a new one.
      if (old != legacy.end() && old->storedName == file.name && old->size == file.size) {
        old->account = account_;
        if (!Add(std::move(*old))) return false;
        ++counts.takenOver;
      } else {
        unrecorded.push_back(&file);
      }
    }
    for (; record != records.end(); ++record) Drop(*record);
    // Files without a record, oldest first, so that the newest lists first.
    std::sort(unrecorded.begin(), unrecorded.end(), [](const FolderFile* a, const FolderFile* b) {
      return a->modifiedMs != b->modifiedMs ? a->modifiedMs < b->modifiedMs : a->name < b->name;
    });
    for (const FolderFile* file : unrecorded) {
      PhotoEntry photo{NewPhotoId(),        account_, file->name, file->size, file->modifiedMs,
                       Inspect(file->name), ""};
      if (!Add(std::move(photo))) return false;
      ++counts.added;
    }
    counts.changed += pending_.changed.size();
    counts.removed += pending_.removedIds.size();
    pending_.lastOfAccount = true;
    return state_.ApplyFolderChanges(account_, pending_) == Outcome::kDone;
  }

 private:
  std::string Inspect(const std::string& name) const {
    return inspect_ ? inspect_(folder_, name) : std::string();
  }

  void Drop(const RecordedFile& record) {
    RemoveThumbnail(folder_, record.thumbnail);
    pending_.removedIds.push_back(record.id);
  }

  // Same name, other bytes: the id stays, the rest is looked at again.
  void LookAgain(const RecordedFile& record, const FolderFile& file) {
    RemoveThumbnail(folder_, record.thumbnail);
    pending_.changed.push_back({record.id, account_, file.name, file.size, 0, Inspect(file.name), ""});
  }

  bool Add(PhotoEntry photo) {
    pending_.added.push_back(std::move(photo));
    if (pending_.added.size() < kRecordsPerWrite) return true;
    pending_.lastOfAccount = false;
    if (state_.ApplyFolderChanges(account_, pending_) != Outcome::kDone) return false;
    pending_.added.clear();
    return true;
  }

  LibraryState& state_;
  const std::string account_;
  const int folder_;
  const InspectFile& inspect_;
  FolderChanges pending_;
};

}  // namespace

bool ReconcileAccounts(LibraryState& state, const std::filesystem::path& storage,
                       const std::vector<std::string>& accounts, const InspectFile& inspect,
                       StartUpCounts& counts, std::string& error) {
  bool ok = true;
  for (const auto& account : accounts) {
    bool missing = false;
    const FolderHandle folder = OpenAccountFolder(storage, account, missing);
    std::optional<std::vector<FolderFile>> files;
    if (folder.valid()) files = ListPublishedFiles(folder.get());
    if (!files && !missing) {
      counts.unreadableFolders.push_back(account);
      continue;
    }
    if (!files) files.emplace();  // no folder yet: no photos
    std::vector<RecordedFile> records;
    bool takenOver = false;
    if (state.RecordedFiles(account, records) != Outcome::kDone ||
        state.TakenOver(account, takenOver) != Outcome::kDone) {
      error = "cannot read the records of " + account;
      ok = false;
      break;
    }
    std::vector<PhotoEntry> legacy;
    if (!takenOver && folder.valid()) legacy = LegacyRecords(folder.get(), records);
    AccountReconciler reconciler(state, account, folder.get(), inspect);
    if (!reconciler.Run(records, std::move(legacy), std::move(*files), counts)) {
      error = "cannot record the photos of " + account;
      ok = false;
      break;
    }
  }
  // What the comparison took goes back to the system rather than staying in the server's heap.
  ::malloc_trim(0);
  return ok;
}

}  // namespace wharfling::server::state
