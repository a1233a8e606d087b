#pragma once
// The pages and files people use in a browser once signed in:
//   GET  menu.asp?page=N         the gallery, newest first
//   GET  photo.asp?id=ID         one photo
//   GET  image.asp?id=ID         its bytes: inline when they are a JPEG, PNG, GIF or WebP picture,
//                                else as an attachment
//   GET  download.asp?id=ID      its bytes as an attachment under its stored name
//   GET  thumb.asp?id=ID         its thumbnail (JPEG), or a neutral tile (SVG)
//   GET  delete.asp?id=ID        the confirmation; POST delete.asp asks for it, or with confirm=yes
//                                deletes and goes back to the gallery
//   POST upload.asp              several files at once, then back to the gallery
//   GET  gallery.css             the stylesheet
// A photo is named by its id only; an id of another account is not found (404). Every POST needs
// the session's CSRF token (403 without it).

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/accounts/csrf_tokens.h"
#include "server/engine/http_exchange.h"
#include "server/library/photo_index.h"
#include "server/library/thumbnails.h"
#include "server/library/upload_store.h"
#include "server/state/library_state.h"

namespace wharfling::server {

struct GallerySettings {
  std::uint64_t maxFileSize = 0;
  std::optional<std::uint64_t> quota;
  int photosPerPage = 24;
  std::chrono::milliseconds thumbnailWait{std::chrono::seconds(10)};
};

struct SignedIn {
  std::string account;
  std::string sessionToken;
};

class GalleryRoutes {
 public:
  GalleryRoutes(state::LibraryState& library, const UploadStore& store, const CsrfTokens& csrf,
                GallerySettings settings);

  // Ends the thumbnails being made: the server stops.
  void CancelThumbnails() { thumbnails_.Cancel(); }

  static bool IsGetPage(std::string_view page);
  static bool IsPostPage(std::string_view page);
  // The most raw body bytes a POST to `page` may bring.
  std::uint64_t BodyCap(std::string_view page) const;

  void Get(std::string_view page, const std::optional<SignedIn>& user, Exchange& ex);
  // Answers at once (null), or returns what takes the form's body.
  std::unique_ptr<RequestBody> Post(std::string_view page, const std::optional<SignedIn>& user, Exchange& ex);

 private:
  void Gallery(const SignedIn& user, Exchange& ex);
  void Thumbnail(const SignedIn& user, const PhotoRecord& photo, Exchange& ex);
  // Makes the thumbnail this request has claimed, and answers it.
  void MakeThumbnailFor(const SignedIn& user, const PhotoRecord& photo, int folder, Exchange& ex);
  std::unique_ptr<RequestBody> Upload(const SignedIn& user, Exchange& ex);
  std::unique_ptr<RequestBody> Delete(const SignedIn& user, Exchange& ex);
  void DeleteWith(const SignedIn& user, Exchange& ex, const std::optional<std::string>& body);

  std::optional<PhotoRecord> Find(const SignedIn& user, std::string_view id);
  bool Remove(const SignedIn& user, std::string_view id, std::string& detail);

  state::LibraryState& library_;
  const UploadStore& store_;
  const CsrfTokens& csrf_;
  const GallerySettings settings_;
  ThumbnailWork thumbnails_;
};

}  // namespace wharfling::server
