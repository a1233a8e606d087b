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

#include <httplib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "server/csrf_tokens.h"
#include "server/photo_library.h"

namespace wharfling::server {

struct GallerySettings {
  std::uint64_t maxFileSize = 0;
  std::optional<std::uint64_t> quota;
  int photosPerPage = 24;
};

struct SignedIn {
  std::string account;
  std::string sessionToken;
};

class GalleryRoutes {
 public:
  GalleryRoutes(PhotoLibrary& library, const CsrfTokens& csrf, GallerySettings settings);

  static bool IsGetPage(std::string_view page);
  static bool IsPostPage(std::string_view page);
  // The most raw body bytes a POST to `page` may bring.
  std::uint64_t BodyCap(std::string_view page) const;

  // `outcome` receives what the request's log line says about it.
  void Get(std::string_view page, const std::optional<SignedIn>& user, const httplib::Request& req,
           httplib::Response& res, std::string& outcome);
  void Post(std::string_view page, const std::optional<SignedIn>& user, const httplib::Request& req,
            httplib::Response& res, const httplib::ContentReader& reader, std::string& outcome);

 private:
  void Gallery(const SignedIn& user, const httplib::Request& req, httplib::Response& res);
  void Thumbnail(const SignedIn& user, const PhotoRecord& photo, httplib::Response& res);
  void Upload(const SignedIn& user, const httplib::Request& req, httplib::Response& res,
              const httplib::ContentReader& reader, std::string& outcome);
  void Delete(const SignedIn& user, const httplib::Request& req, httplib::Response& res,
              const httplib::ContentReader& reader, std::string& outcome);

  PhotoLibrary& library_;
  const CsrfTokens& csrf_;
  const GallerySettings settings_;
};

}  // namespace wharfling::server
