#pragma once
// A stored photo as the pages show it: an opaque id (what pages and links name a photo by, never
// its path), its name, size, upload time, the content type its bytes show and its thumbnail.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wharfling::server {

// A hidden name, which no upload can take (a stored name never starts with a dot).
inline constexpr std::string_view kThumbnailPrefix = ".thumb-";
// The thumbnail field of a photo whose bytes make no picture: it shows the neutral tile.
inline constexpr std::string_view kNoThumbnail = "-";

struct PhotoRecord {
  std::string id;               // 32 lower-case hex digits
  std::string name;             // UTF-8, as on disk
  std::uint64_t size = 0;       // bytes
  std::int64_t uploadedMs = 0;  // milliseconds since 1970, UTC
  std::string contentType;      // from the bytes; "" when they are no image served inline
  std::string thumbnail;        // "" not made yet, kNoThumbnail, or the thumbnail's file name
};

std::string NewPhotoId();
bool IsPhotoId(std::string_view text);
// ".thumb-<id>.jpg"
std::string ThumbnailNameFor(std::string_view id);

}  // namespace wharfling::server
