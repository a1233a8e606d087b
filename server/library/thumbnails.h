#pragma once
// Thumbnails of stored photos, made with libvips: JPEGs shrink while they load, and the EXIF
// orientation is applied, so a photo taken upright shows upright.

#include <cstddef>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace wharfling::server {

// The longer side of a thumbnail, in pixels.
inline constexpr int kThumbnailSize = 320;
// Pictures with more pixels than this are not decoded at all (a small file can claim a huge one).
inline constexpr double kMaxThumbnailPixels = 200e6;

// Starts libvips for this process, once; later calls only say whether it started. It runs on
// few threads and keeps no cache of operations (each thumbnail is made once, then kept on disk).
bool StartImageLibrary(const char* programName);

// The thumbnails one server is making. Cancel() ends them: those waiting for their turn give up and
// those under way stop, so that a stopping server is not held by a large picture.
class ThumbnailWork {
 public:
  void Cancel();
  bool cancelled() const;

  // For MakeThumbnail: the picture being made (a VipsImage) is stopped on Cancel.
  void Track(void* image);
  void Untrack(void* image);

 private:
  mutable std::mutex mutex_;
  bool cancelled_ = false;
  std::set<void*> images_;
};

// A JPEG of the picture in the open file `fd`, no side longer than `size`; nothing when the bytes
// make no picture libvips can read (why then says what went wrong) or `work` was cancelled.
std::optional<std::string> MakeThumbnail(int fd, int size, std::string& why, ThumbnailWork* work = nullptr);

}  // namespace wharfling::server
