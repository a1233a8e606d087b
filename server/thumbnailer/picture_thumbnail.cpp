#include "server/thumbnailer/picture_thumbnail.h"

#include <vips/vips.h>

#include <cstdlib>

namespace wharfling::server {
namespace {

// libvips' error buffer on one line.
std::string TakeVipsError() {
  std::string text = vips_error_buffer();
  vips_error_clear();
  while (!text.empty() && text.back() == '\n') text.pop_back();
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text.empty() ? "libvips failed without saying why" : text;
}

template <typename T>
struct Ref {
  T* object = nullptr;
  ~Ref() {
    if (object != nullptr) g_object_unref(object);
  }
};

}  // namespace

bool StartImageLibrary(const char* programName) {
  // No code compiled at run time: its compiler writes executable files, and this process writes none.
  ::setenv("VIPS_NOVECTOR", "1", 1);
  if (VIPS_INIT(programName) != 0) return false;
  vips_concurrency_set(1);
  vips_cache_set_max(0);
  // Only the loaders libvips counts as fit for untrusted input (JPEG, PNG, GIF, WebP, TIFF, HEIF...):
  // not the catch-all ones behind ImageMagick and the scientific formats.
  vips_block_untrusted_set(TRUE);
  return true;
}

std::optional<std::string> ThumbnailOf(int fd, int size, std::string& why) {
  Ref<VipsSource> source{vips_source_new_from_descriptor(fd)};
  if (source.object == nullptr) {
    why = TakeVipsError();
    return std::nullopt;
  }
  Ref<VipsImage> header{
      vips_image_new_from_source(source.object, "", "access", VIPS_ACCESS_SEQUENTIAL, nullptr)};
  if (header.object == nullptr) {
    why = TakeVipsError();
    return std::nullopt;
  }
  const double pixels = static_cast<double>(vips_image_get_width(header.object)) *
                        static_cast<double>(vips_image_get_height(header.object));
  if (pixels > kMaxThumbnailPixels) {
    why = "too many pixels";
    return std::nullopt;
  }
  Ref<VipsImage> thumbnail;
  if (vips_thumbnail_source(source.object, &thumbnail.object, size, "height", size, nullptr) != 0) {
    why = TakeVipsError();
    return std::nullopt;
  }
  Ref<VipsImage> flat;
  VipsImage* saved = thumbnail.object;
  if (vips_image_hasalpha(thumbnail.object)) {
    VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
    const int failed = vips_flatten(thumbnail.object, &flat.object, "background", white, nullptr);
    vips_area_unref(VIPS_AREA(white));
    if (failed != 0) {
      why = TakeVipsError();
      return std::nullopt;
    }
    saved = flat.object;
  }
  void* buffer = nullptr;
  std::size_t length = 0;
  if (vips_jpegsave_buffer(saved, &buffer, &length, "Q", 80, "strip", TRUE, nullptr) != 0) {
    why = TakeVipsError();
    return std::nullopt;
  }
  std::string bytes(static_cast<const char*>(buffer), length);
  g_free(buffer);
  return bytes;
}

}  // namespace wharfling::server
