#pragma once
// The photos of each account as people see them: the published files of its folder, each with its
// index record. A file gets its record when the account is next listed, whichever way it came (an
// upload, a file stored before the index existed, one copied in by hand), its upload time being the
// time it was published; records of files that are gone are dropped. Uploads themselves never wait
// for the index.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/library/photo_catalog.h"
#include "server/library/photo_index.h"
#include "server/library/upload_store.h"

namespace wharfling::server {

class PhotoLibrary final : public PhotoCatalog {
 public:
  explicit PhotoLibrary(const UploadStore& store);

  // Every photo of the account, newest first.
  std::vector<PhotoRecord> List(std::string_view account) override;
  // The account's photo of that id; another account's id is not found.
  std::optional<PhotoRecord> Find(std::string_view account, std::string_view id) override;
  // The bytes the account's photos take.
  std::uint64_t BytesUsed(std::string_view account) override;
  // An upload has just published `name`: its time is noted in memory for its record, finer than the
  // file system's clock, so that photos uploaded within one tick still list in their order.
  void NotePublished(std::string_view account, std::string_view name) override;
  // Removes the photo, its thumbnail and its record; false when there is no such photo.
  bool Remove(std::string_view account, std::string_view id) override;
  // Notes the thumbnail made for a photo (a file name, or kNoThumbnail).
  void SetThumbnail(std::string_view account, std::string_view id, std::string_view thumbnail) override;

  const UploadStore& store() const override { return store_; }

 private:
  struct Loaded;
  std::optional<Loaded> Load(std::string_view account, bool create);
  void Reconcile(Loaded& loaded);
  void Save(Loaded& loaded);

  const UploadStore& store_;
  // One writer of the indexes at a time; each request reads the index fresh from disk.
  std::mutex mutex_;
  // Publication times (nanoseconds since 1970) not yet in a record, by account and name.
  std::map<std::pair<std::string, std::string>, std::int64_t, std::less<>> published_;
};

}  // namespace wharfling::server
