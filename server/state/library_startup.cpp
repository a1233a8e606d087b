#include "server/state/library_startup.h"

#include <unistd.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "server/state/account_folder.h"
#include "server/state/legacy_photo_index.h"
#include "server/state/state_tokens.h"

namespace wharfling::server::state {
namespace {

constexpr std::size_t kMaxLegacyIndexBytes = 64 * 1024 * 1024;

// Removes a thumbnail file named by a record (only ever a hidden name inside the folder).
void RemoveThumbnail(int folder, const std::string& thumbnail) {
  if (thumbnail.empty() || thumbnail == kNoThumbnail || thumbnail.front() != '.' ||
      thumbnail.find('/') != std::string::npos) {
    return;
  }
  ::unlinkat(folder, thumbnail.c_str(), 0);
}

// The old index's records whose names have none yet, their ids kept unless already in use.
std::vector<PhotoEntry> LegacyRecords(int folder, const std::vector<PhotoEntry>& records) {
  const auto text = ReadHiddenFile(folder, kLegacyIndexName, kMaxLegacyIndexBytes);
  if (!text) return {};
  auto legacy = ParseLegacyIndex(*text);
  if (!legacy) return {};
  std::unordered_set<std::string> names, ids;
  for (const auto& record : records) {
    names.insert(record.storedName);
    ids.insert(record.id);
  }
  std::vector<PhotoEntry> kept;
  for (auto& photo : *legacy) {
    if (!names.insert(photo.storedName).second) continue;
    if (!ids.insert(photo.id).second) photo.id.clear();  // drawn anew below
    kept.push_back(std::move(photo));
  }
  return kept;
}

FolderChanges Compare(int folder, std::vector<PhotoEntry> records, std::vector<PhotoEntry> legacy,
                      std::vector<FolderFile> files, const InspectFile& inspect, std::size_t& takenOver) {
  FolderChanges changes;
  std::unordered_map<std::string, FolderFile*> onDisk;
  for (auto& file : files) onDisk.emplace(file.name, &file);
  std::unordered_set<std::string> ids;
  for (const auto& record : records) ids.insert(record.id);
  for (const auto& photo : legacy) ids.insert(photo.id);

  const auto lookAgain = [&](PhotoEntry& photo, const FolderFile& file) {
    RemoveThumbnail(folder, photo.thumbnail);
    photo.size = file.size;
    photo.contentType = inspect ? inspect(folder, file.name) : std::string();
    photo.thumbnail.clear();
  };
  for (auto& record : records) {
    const auto found = onDisk.find(record.storedName);
    if (found == onDisk.end()) {
      RemoveThumbnail(folder, record.thumbnail);
      changes.removedIds.push_back(record.id);
      continue;
    }
    if (found->second->size != record.size) {
      lookAgain(record, *found->second);
      changes.changed.push_back(record);
    }
    onDisk.erase(found);
  }
  for (auto& photo : legacy) {
    const auto found = onDisk.find(photo.storedName);
    // Its file went while no server ran, or another file took its name: that one is new.
    if (found == onDisk.end() || found->second->size != photo.size) continue;
    if (photo.id.empty()) {
      do photo.id = NewPhotoId();
      while (!ids.insert(photo.id).second);
    } else {
      ++takenOver;
    }
    changes.added.push_back(std::move(photo));
    onDisk.erase(found);
  }
  // Files without a record, oldest first, so that the newest lists first.
  std::vector<const FolderFile*> unrecorded;
  for (const auto& [name, file] : onDisk) unrecorded.push_back(file);
  std::sort(unrecorded.begin(), unrecorded.end(), [](const FolderFile* a, const FolderFile* b) {
    return a->modifiedMs != b->modifiedMs ? a->modifiedMs < b->modifiedMs : a->name < b->name;
  });
  for (const FolderFile* file : unrecorded) {
    PhotoEntry photo;
    do photo.id = NewPhotoId();
    while (!ids.insert(photo.id).second);
    photo.storedName = file->name;
    photo.size = file->size;
    photo.uploadedMs = file->modifiedMs;
    photo.contentType = inspect ? inspect(folder, file->name) : std::string();
    changes.added.push_back(std::move(photo));
  }
  return changes;
}

}  // namespace

bool ReconcileAccounts(LibraryState& state, const std::filesystem::path& storage,
                       const std::vector<std::string>& accounts, const InspectFile& inspect,
                       StartUpCounts& counts, std::string& error) {
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
    std::vector<PhotoEntry> records;
    bool takenOver = false;
    if (state.AllPhotos(account, records) != Outcome::kDone ||
        state.TakenOver(account, takenOver) != Outcome::kDone) {
      error = "cannot read the records of " + account;
      return false;
    }
    std::vector<PhotoEntry> legacy;
    if (!takenOver && folder.valid()) legacy = LegacyRecords(folder.get(), records);
    std::size_t keptIds = 0;
    FolderChanges changes =
        Compare(folder.get(), std::move(records), std::move(legacy), std::move(*files), inspect, keptIds);
    for (auto& photo : changes.added) photo.account = account;
    if (state.ApplyFolderChanges(account, changes) != Outcome::kDone) {
      error = "cannot record the photos of " + account;
      return false;
    }
    counts.takenOver += keptIds;
    counts.added += changes.added.size() - keptIds;
    counts.changed += changes.changed.size();
    counts.removed += changes.removedIds.size();
  }
  return true;
}

}  // namespace wharfling::server::state
