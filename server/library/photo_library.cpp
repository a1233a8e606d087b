#include "server/library/photo_library.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <map>

#include "server/library/content_sniffing.h"
#include "server/library/folder_files.h"

namespace wharfling::server {
namespace {

constexpr std::size_t kMaxIndexBytes = 64 * 1024 * 1024;
// Publication times kept for files no listing has recorded yet; past this they are dropped, and
// those files take the time of the file system instead.
constexpr std::size_t kMaxNotedPublications = 100000;

std::string SniffFile(int folder, std::string_view name) {
  return std::string(SniffImageType(ReadFirstBytes(folder, name, kSniffBytes)));
}

}  // namespace

struct PhotoLibrary::Loaded {
  std::string account;
  UniqueFd folder;
  std::vector<PhotoRecord> photos;  // in the order they were added
  bool changed = false;
};

PhotoLibrary::PhotoLibrary(const UploadStore& store) : store_(store) {}

std::optional<PhotoLibrary::Loaded> PhotoLibrary::Load(std::string_view account, bool create) {
  Loaded loaded;
  loaded.account = std::string(account);
  std::string error;
  loaded.folder = store_.OpenFolder(account, create, error);
  if (!loaded.folder.valid()) return std::nullopt;
  const auto text = ReadSmallFile(loaded.folder.get(), kPhotoIndexName, kMaxIndexBytes);
  if (text) {
    if (auto photos = ParsePhotoIndex(*text)) {
      loaded.photos = std::move(*photos);
    } else {
      loaded.changed = true;  // unreadable: rebuilt from the folder
    }
  }
  return loaded;
}

void PhotoLibrary::Reconcile(Loaded& loaded) {
  std::map<std::string, StoredFile> onDisk;
  for (auto& file : store_.List(loaded.account, std::numeric_limits<std::size_t>::max())) {
    onDisk.emplace(file.name, std::move(file));
  }
  const int folder = loaded.folder.get();
  // A record whose file is gone (or was replaced by other bytes) goes, with its thumbnail.
  std::erase_if(loaded.photos, [&](const PhotoRecord& photo) {
    const auto found = onDisk.find(photo.name);
    const bool keep = found != onDisk.end() && found->second.size == photo.size;
    if (keep) {
      onDisk.erase(found);
      return false;
    }
    ::unlinkat(folder, ThumbnailNameFor(photo.id).c_str(), 0);
    loaded.changed = true;
    return true;
  });
  // Files without a record, oldest first, so that the newest is listed first.
  std::vector<StoredFile> unrecorded;
  for (auto& [name, file] : onDisk) {
    const auto noted = published_.find(std::pair(loaded.account, name));
    if (noted != published_.end()) {
      file.modifiedNs = noted->second;
      published_.erase(noted);
    }
    unrecorded.push_back(std::move(file));
  }
  std::stable_sort(unrecorded.begin(), unrecorded.end(),
                   [](const auto& a, const auto& b) { return a.modifiedNs < b.modifiedNs; });
  for (const auto& file : unrecorded) {
    loaded.photos.push_back(
        {NewPhotoId(), file.name, file.size, file.modifiedNs / 1000000, SniffFile(folder, file.name), ""});
    loaded.changed = true;
  }
}

void PhotoLibrary::Save(Loaded& loaded) {
  if (!loaded.changed) return;
  std::string error;
  if (WriteFileAtomically(loaded.folder.get(), kPhotoIndexName, PhotoIndexText(loaded.photos), error)) {
    loaded.changed = false;
  }
}

std::vector<PhotoRecord> PhotoLibrary::List(std::string_view account) {
  std::lock_guard lock(mutex_);
  auto loaded = Load(account, false);
  if (!loaded) return {};
  Reconcile(*loaded);
  Save(*loaded);
  std::vector<PhotoRecord> photos(loaded->photos.rbegin(), loaded->photos.rend());
  std::stable_sort(photos.begin(), photos.end(),
                   [](const auto& a, const auto& b) { return a.uploadedMs > b.uploadedMs; });
  return photos;
}

std::optional<PhotoRecord> PhotoLibrary::Find(std::string_view account, std::string_view id) {
  if (!IsPhotoId(id)) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto loaded = Load(account, false);
  if (!loaded) return std::nullopt;
  for (const auto& photo : loaded->photos) {
    if (photo.id == id) return photo;
  }
  return std::nullopt;
}

std::uint64_t PhotoLibrary::BytesUsed(std::string_view account) {
  std::uint64_t used = 0;
  for (const auto& photo : List(account)) used += photo.size;
  return used;
}

void PhotoLibrary::NotePublished(std::string_view account, std::string_view name) {
  const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  std::lock_guard lock(mutex_);
  if (published_.size() >= kMaxNotedPublications) published_.clear();
  published_[{std::string(account), std::string(name)}] = now;
}

bool PhotoLibrary::Remove(std::string_view account, std::string_view id) {
  if (!IsPhotoId(id)) return false;
  std::lock_guard lock(mutex_);
  auto loaded = Load(account, false);
  if (!loaded) return false;
  const auto found = std::find_if(loaded->photos.begin(), loaded->photos.end(),
                                  [&](const PhotoRecord& photo) { return photo.id == id; });
  if (found == loaded->photos.end()) return false;
  const int folder = loaded->folder.get();
  if (::unlinkat(folder, found->name.c_str(), 0) != 0 && errno != ENOENT) return false;
  ::unlinkat(folder, ThumbnailNameFor(found->id).c_str(), 0);
  loaded->photos.erase(found);
  loaded->changed = true;
  Save(*loaded);
  return true;
}

void PhotoLibrary::SetThumbnail(std::string_view account, std::string_view id, std::string_view thumbnail) {
  std::lock_guard lock(mutex_);
  auto loaded = Load(account, false);
  if (!loaded) return;
  for (auto& photo : loaded->photos) {
    if (photo.id == id && photo.thumbnail != thumbnail) {
      photo.thumbnail = std::string(thumbnail);
      loaded->changed = true;
    }
  }
  Save(*loaded);
}

}  // namespace wharfling::server
