#pragma once
// Pictures made on the spot with libvips, for the tests and benchmarks of the thumbnails.

#include <optional>
#include <string>

namespace wharfling::testing {

// A JPEG of width x height pixels (a colour gradient with some grain); with an EXIF orientation tag
// when `orientation` is given (6: the camera was turned, the picture is to be shown rotated 90°).
std::string TestJpeg(int width, int height, std::optional<int> orientation = std::nullopt, int quality = 85);

struct PictureSize {
  int width = 0;
  int height = 0;
};
// The size of an encoded picture, or nothing when libvips cannot read it.
std::optional<PictureSize> DecodedSize(const std::string& bytes);

}  // namespace wharfling::testing
