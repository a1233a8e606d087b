#pragma once
// The pages people read in a browser once signed in: the gallery, one photo, the delete
// confirmation. UTF-8, links relative to the page (all pages live in the same folder), no inline
// style or script, so that a strict Content-Security-Policy holds; every changing form carries the
// session's CSRF token in its "csrf" field.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/library/photo_index.h"

namespace wharfling::server {

inline constexpr std::string_view kUtf8HtmlContentType = "text/html; charset=UTF-8";

struct GalleryView {
  std::string account;  // UTF-8
  std::string csrf;
  std::vector<PhotoRecord> photos;  // this page's photos, newest first
  int page = 1;                     // from 1
  int pageCount = 1;
  std::size_t totalCount = 0;
  std::uint64_t totalBytes = 0;
  std::string message;  // the outcome of the last upload or deletion, or ""
  std::uint64_t maxFileSize = 0;
  int maxFiles = 0;  // files one upload form may bring
};

std::string GalleryPage(const GalleryView& view);
std::string PhotoPage(std::string_view account, std::string_view csrf, const PhotoRecord& photo);
std::string DeleteConfirmPage(std::string_view account, std::string_view csrf, const PhotoRecord& photo);

// A stored name as shown: bidirectional controls (U+202E and its kin) written out as "[U+202E]",
// so that they cannot turn a name around to disguise its extension.
std::string ShownName(std::string_view utf8Name);

// "999 bytes", "1.5 KB", "12.3 MB" (powers of 1024).
std::string ShortSize(std::uint64_t bytes);
// "2026-12-08 09:10 UTC"
std::string ShortTime(std::int64_t milliseconds);

}  // namespace wharfling::server
