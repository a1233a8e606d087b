#pragma once
// Thumbnails of stored photos, made with libvips: JPEGs shrink while they load, and the EXIF
// orientation is applied, so a photo taken upright shows upright.

#include <cstddef>
#include <optional>
#include <string>

namespace wharfling::server {

// The longer side of a thumbnail, in pixels.
inline constexpr int kThumbnailSize = 320;
// Pictures with more pixels than this are not decoded at all (a small file can claim a huge one).
inline constexpr double kMaxThumbnailPixels = 200e6;

// Starts libvips for this process, once; later calls only say whether it started. It runs on
// few threads and keeps no cache of operations (each thumbnail is made once, then kept on disk).
bool StartImageLibrary(const char* programName);

// A JPEG of the picture in the open file `fd`, no side longer than `size`; nothing when the bytes
// make no picture libvips can read (why then says what went wrong).
std::optional<std::string> MakeThumbnail(int fd, int size, std::string& why);

}  // namespace wharfling::server
