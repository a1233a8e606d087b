#include "tests/support/test_photos.h"

#include <vips/vips.h>
#include <exiv2/exiv2.hpp>

#include <memory>

#include "platform/posix/vips_photo.h"

namespace wharfling::testing {
namespace {

struct Unref {
  void operator()(VipsImage* image) const { g_object_unref(image); }
};
using ImageRef = std::unique_ptr<VipsImage, Unref>;

ImageRef Noise(const PhotoRecipe& recipe) {
  VipsImage* noise = nullptr;
  VipsImage* bands = nullptr;
  VipsImage* rgb = nullptr;
  if (vips_gaussnoise(&noise, recipe.width, recipe.height, "sigma", 60.0, nullptr) != 0) return nullptr;
  ImageRef grey(noise);
  VipsImage* three[] = {noise, noise, noise};
  if (vips_bandjoin(three, &bands, 3, nullptr) != 0) return nullptr;
  ImageRef joined(bands);
  VipsImage* bytes = nullptr;
  if (vips_cast_uchar(bands, &bytes, nullptr) != 0) return nullptr;
  ImageRef cast(bytes);
  if (vips_copy(bytes, &rgb, "interpretation", VIPS_INTERPRETATION_sRGB, nullptr) != 0) return nullptr;
  ImageRef colour(rgb);
  if (!recipe.colourProfile) return colour;
  VipsImage* profiled = nullptr;
  if (vips_icc_transform(rgb, &profiled, "srgb", "input_profile", "srgb", "embedded", FALSE, nullptr) != 0) {
    return nullptr;
  }
  return ImageRef(profiled);
}

std::string Encode(VipsImage* image, int quality) {
  void* buffer = nullptr;
  std::size_t length = 0;
  if (vips_jpegsave_buffer(image, &buffer, &length, "Q", quality, nullptr) != 0) return {};
  std::string bytes(static_cast<const char*>(buffer), length);
  g_free(buffer);
  return bytes;
}

std::string WithTags(const std::string& jpeg, const std::map<std::string, std::string>& tags) {
  auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.data()),
                                         static_cast<long>(jpeg.size()));
  image->readMetadata();
  for (const auto& [key, value] : tags) {
    if (key.starts_with("Xmp.")) {
      image->xmpData()[key] = value;
    } else {
      image->exifData()[key] = value;
    }
  }
  image->writeMetadata();
  Exiv2::BasicIo& io = image->io();
  io.open();
  const Exiv2::DataBuf written = io.read(static_cast<long>(io.size()));
  io.close();
  return std::string(reinterpret_cast<const char*>(written.pData_), static_cast<std::size_t>(written.size_));
}

}  // namespace

std::string MakeJpeg(const PhotoRecipe& recipe) {
  if (!posix::StartVips()) return {};
  const ImageRef image = Noise(recipe);
  if (!image) return {};
  const std::string jpeg = Encode(image.get(), recipe.quality);
  if (jpeg.empty() || recipe.tags.empty()) return jpeg;
  try {
    return WithTags(jpeg, recipe.tags);
  } catch (const std::exception&) {
    return {};
  }
}

std::map<std::string, std::string> PhotoTags(const std::string& bytes) {
  std::map<std::string, std::string> tags;
  try {
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                           static_cast<long>(bytes.size()));
    image->readMetadata();
    for (const auto& datum : image->exifData()) tags[datum.key()] = datum.toString();
    for (const auto& datum : image->xmpData()) tags[datum.key()] = datum.toString();
  } catch (const std::exception&) {
    tags.clear();
  }
  return tags;
}

PhotoShape ShapeOf(const std::string& bytes) {
  PhotoShape shape;
  if (!posix::StartVips()) return shape;
  VipsImage* image = vips_image_new_from_buffer(bytes.data(), bytes.size(), "", nullptr);
  if (image == nullptr) {
    vips_error_clear();
    return shape;
  }
  ImageRef held(image);
  // Decoding every pixel proves the data whole, not only the header.
  double average = 0;
  if (vips_avg(image, &average, nullptr) != 0) {
    vips_error_clear();
    return shape;
  }
  shape.width = image->Xsize;
  shape.height = image->Ysize;
  shape.colourProfile = vips_image_get_typeof(image, VIPS_META_ICC_NAME) != 0;
  return shape;
}

}  // namespace wharfling::testing
