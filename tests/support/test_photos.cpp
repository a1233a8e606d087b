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

// Red rises left to right and green top to bottom; one grain field lies over all three bands.
ImageRef Picture(const PhotoRecipe& recipe) {
  VipsImage* made = nullptr;
  const auto take = [&made](int result) { return result == 0 ? ImageRef(made) : ImageRef(); };
  const ImageRef xy = take(vips_xyz(&made, recipe.width, recipe.height, nullptr));
  if (!xy) return nullptr;
  const ImageRef x = take(vips_extract_band(xy.get(), &made, 0, nullptr));
  const ImageRef y = x ? take(vips_extract_band(xy.get(), &made, 1, nullptr)) : nullptr;
  const ImageRef grain = y ? take(vips_gaussnoise(&made, recipe.width, recipe.height, "sigma", recipe.grain,
                                                  "mean", 0.0, nullptr))
                           : nullptr;
  if (!grain) return nullptr;
  double scales[] = {255.0 / recipe.width, 0.0};
  double offsets[] = {0.0, 128.0};
  const ImageRef red = take(vips_linear(x.get(), &made, scales, offsets, 1, nullptr));
  scales[0] = 255.0 / recipe.height;
  const ImageRef green = red ? take(vips_linear(y.get(), &made, scales, offsets, 1, nullptr)) : nullptr;
  const ImageRef blue =
      green ? take(vips_linear(x.get(), &made, &scales[1], &offsets[1], 1, nullptr)) : nullptr;
  if (!blue) return nullptr;
  VipsImage* bands[] = {red.get(), green.get(), blue.get()};
  const ImageRef joined = take(vips_bandjoin(bands, &made, 3, nullptr));
  const ImageRef grainy = joined ? take(vips_add(joined.get(), grain.get(), &made, nullptr)) : nullptr;
  const ImageRef pixels = grainy ? take(vips_cast_uchar(grainy.get(), &made, nullptr)) : nullptr;
  ImageRef rgb =
      pixels ? take(vips_copy(pixels.get(), &made, "interpretation", VIPS_INTERPRETATION_sRGB, nullptr))
             : nullptr;
  if (!rgb || !recipe.colourProfile) return rgb;
  return take(
      vips_icc_transform(rgb.get(), &made, "srgb", "input_profile", "srgb", "embedded", FALSE, nullptr));
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
  const ImageRef image = Picture(recipe);
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
