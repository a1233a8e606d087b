#pragma once
// The thumbnail of one picture, made with libvips: JPEGs shrink while they load, the EXIF
// orientation is applied (a photo taken upright shows upright), transparency goes onto white.

#include <optional>
#include <string>

namespace wharfling::server {

// Pictures with more pixels than this are not decoded at all (a small file can claim a huge one).
inline constexpr double kMaxThumbnailPixels = 200e6;

// Starts libvips for this process: one worker thread, no cache of operations (one picture, once),
// the loaders fit for untrusted input alone, and no code generated at run time.
bool StartImageLibrary(const char* programName);

// A JPEG (quality 80, no metadata) of the picture read from the descriptor `fd`, no side longer
// than `size`; nothing when the bytes make no picture libvips can read (why then says what went
// wrong, on one line).
std::optional<std::string> ThumbnailOf(int fd, int size, std::string& why);

}  // namespace wharfling::server
