#include "platform/posix/vips_photo.h"

#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace wharfling::posix {
namespace {

// Owns one reference to a libvips object.
struct Unref {
  void operator()(VipsImage* image) const { g_object_unref(image); }
};
using ImageRef = std::unique_ptr<VipsImage, Unref>;

std::string VipsError() {
  std::string why = vips_error_buffer();
  vips_error_clear();
  while (!why.empty() && why.back() == '\n') why.pop_back();
  return why;
}

class VipsDecodedPhoto final : public DecodedPhoto {
 public:
  explicit VipsDecodedPhoto(ImageRef image) : image_(std::move(image)) {}

  int longSide() const override { return std::max(image_->Xsize, image_->Ysize); }

  std::optional<std::string> Encode(int quality, int longSide) override {
    VipsImage* source = image_.get();
    ImageRef scaled;
    if (longSide < this->longSide()) {
      VipsImage* out = nullptr;
      const double scale = static_cast<double>(longSide) / this->longSide();
      if (vips_resize(source, &out, scale, nullptr) != 0) return Failed();
      scaled.reset(out);
      source = out;
    }
    void* buffer = nullptr;
    std::size_t length = 0;
    // Metadata (EXIF with its orientation, the ICC profile, XMP) is kept: nothing is stripped.
    if (vips_jpegsave_buffer(source, &buffer, &length, "Q", quality, nullptr) != 0) return Failed();
    std::string bytes(static_cast<const char*>(buffer), length);
    g_free(buffer);
    return bytes;
  }

 private:
  static std::optional<std::string> Failed() {
    vips_error_clear();
    return std::nullopt;
  }

  ImageRef image_;
};

}  // namespace

bool StartVips() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] { started = VIPS_INIT("wharfling") == 0; });
  return started;
}

std::unique_ptr<DecodedPhoto> DecodeJpegWithVips(std::string_view bytes, std::string& why) {
  if (!StartVips()) {
    why = "libvips cannot start";
    return nullptr;
  }
  // The loader reads from the buffer lazily; the copy in memory makes the photo independent of it
  // and lets every encoding of the search start from pixels already decoded.
  VipsImage* image = nullptr;
  if (vips_jpegload_buffer(const_cast<char*>(bytes.data()), bytes.size(), &image, nullptr) != 0) {
    why = VipsError();
    return nullptr;
  }
  ImageRef lazy(image);
  VipsImage* decoded = vips_image_copy_memory(lazy.get());
  if (decoded == nullptr) {
    why = VipsError();
    return nullptr;
  }
  return std::make_unique<VipsDecodedPhoto>(ImageRef(decoded));
}

}  // namespace wharfling::posix
