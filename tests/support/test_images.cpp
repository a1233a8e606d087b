#include "tests/support/test_images.h"

#include <vips/vips.h>

#include <stdexcept>
#include <vector>

#include "server/thumbnails.h"

namespace wharfling::testing {
namespace {

// Owns the images of one construction.
class Images {
 public:
  ~Images() {
    for (VipsImage* image : owned_) g_object_unref(image);
  }
  VipsImage** Next() {
    owned_.push_back(nullptr);
    return &owned_.back();
  }
  VipsImage* Last() const { return owned_.back(); }

 private:
  std::vector<VipsImage*> owned_;
};

void Check(int result) {
  if (result != 0) throw std::runtime_error(std::string("libvips: ") + vips_error_buffer());
}

}  // namespace

std::string TestJpeg(int width, int height, std::optional<int> orientation, int quality) {
  if (!server::StartImageLibrary("wharfling-tests")) throw std::runtime_error("libvips did not start");
  Images images;
  Check(vips_xyz(images.Next(), width, height, nullptr));
  VipsImage* xy = images.Last();
  Check(vips_extract_band(xy, images.Next(), 0, nullptr));
  VipsImage* x = images.Last();
  Check(vips_extract_band(xy, images.Next(), 1, nullptr));
  VipsImage* y = images.Last();
  Check(vips_linear1(x, images.Next(), 255.0 / width, 0.0, nullptr));
  VipsImage* red = images.Last();
  Check(vips_linear1(y, images.Next(), 255.0 / height, 0.0, nullptr));
  VipsImage* green = images.Last();
  Check(vips_gaussnoise(images.Next(), width, height, "mean", 128.0, "sigma", 24.0, nullptr));
  VipsImage* blue = images.Last();
  VipsImage* bands[] = {red, green, blue};
  Check(vips_bandjoin(bands, images.Next(), 3, nullptr));
  VipsImage* joined = images.Last();
  Check(vips_cast_uchar(joined, images.Next(), nullptr));
  VipsImage* picture = images.Last();
  if (orientation) {
    Check(vips_copy(picture, images.Next(), nullptr));
    picture = images.Last();
    vips_image_set_int(picture, VIPS_META_ORIENTATION, *orientation);
  }
  void* buffer = nullptr;
  std::size_t length = 0;
  Check(vips_jpegsave_buffer(picture, &buffer, &length, "Q", quality, nullptr));
  std::string bytes(static_cast<const char*>(buffer), length);
  g_free(buffer);
  return bytes;
}

std::optional<PictureSize> DecodedSize(const std::string& bytes) {
  if (!server::StartImageLibrary("wharfling-tests")) return std::nullopt;
  VipsImage* image = vips_image_new_from_buffer(bytes.data(), bytes.size(), "", nullptr);
  if (image == nullptr) {
    vips_error_clear();
    return std::nullopt;
  }
  const PictureSize size{vips_image_get_width(image), vips_image_get_height(image)};
  g_object_unref(image);
  return size;
}

}  // namespace wharfling::testing
