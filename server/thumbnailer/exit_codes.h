#pragma once
// How parvault-thumbnailer ends, as the server reads it.

namespace wharfling::server {

// Standard output holds the thumbnail, a JPEG.
inline constexpr int kThumbnailMade = 0;
// The picture cannot be read or is too large to decode; the last line on standard error says why.
inline constexpr int kPictureUnreadable = 1;
// The helper itself could not work (bad usage, limits it could not set, libvips did not start, its
// output went nowhere): the picture may well be fine.
inline constexpr int kThumbnailerFailed = 2;

}  // namespace wharfling::server
