#pragma once
// What the pages need of the photo library: each account's photos by id, what they take, and the
// thumbnails made for them. Today an index file beside each account's photos holds it; a database
// can take its place behind this interface.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "server/library/photo_index.h"
#include "server/library/upload_store.h"

namespace wharfling::server {

class PhotoCatalog {
 public:
  virtual ~PhotoCatalog() = default;

  // Every photo of the account, newest first.
  virtual std::vector<PhotoRecord> List(std::string_view account) = 0;
  // The account's photo of that id; another account's id is not found.
  virtual std::optional<PhotoRecord> Find(std::string_view account, std::string_view id) = 0;
  // The bytes the account's photos take.
  virtual std::uint64_t BytesUsed(std::string_view account) = 0;
  // An upload has just published `name` in the account's folder.
  virtual void NotePublished(std::string_view account, std::string_view name) = 0;
  // Removes the photo, its thumbnail and its record; false when there is no such photo.
  virtual bool Remove(std::string_view account, std::string_view id) = 0;
  // Notes the thumbnail made for a photo (a file name, or kNoThumbnail).
  virtual void SetThumbnail(std::string_view account, std::string_view id, std::string_view thumbnail) = 0;
  // The folders the photos' files live in.
  virtual const UploadStore& store() const = 0;
};

}  // namespace wharfling::server
