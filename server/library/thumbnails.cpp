#include "server/library/thumbnails.h"

#include <vips/vips.h>

#include <chrono>
#include <mutex>
#include <semaphore>

namespace wharfling::server {
namespace {

// libvips works on threads of its own; two pictures at once keep a shared machine responsive.
constexpr int kImageThreads = 2;
std::counting_semaphore<kImageThreads> g_makers(kImageThreads);

std::string TakeVipsError() {
  std::string text = vips_error_buffer();
  vips_error_clear();
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

struct ImageRef {
  VipsImage* image = nullptr;
  ~ImageRef() {
    if (image != nullptr) g_object_unref(image);
  }
};

}  // namespace

bool StartImageLibrary(const char* programName) {
  static const bool started = [programName] {
    if (VIPS_INIT(programName) != 0) return false;
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    return true;
  }();
  return started;
}

void ThumbnailWork::Cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  for (void* image : images_) vips_image_set_kill(static_cast<VipsImage*>(image), TRUE);
}

bool ThumbnailWork::cancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

void ThumbnailWork::Track(void* image) {
  std::lock_guard lock(mutex_);
  images_.insert(image);
  if (cancelled_) vips_image_set_kill(static_cast<VipsImage*>(image), TRUE);
}

void ThumbnailWork::Untrack(void* image) {
  std::lock_guard lock(mutex_);
  images_.erase(image);
}

std::optional<std::string> MakeThumbnail(int fd, int size, std::string& why, ThumbnailWork* work) {
  if (!StartImageLibrary("parvault-server")) {
    why = "libvips did not start";
    return std::nullopt;
  }
  // The file by its open descriptor: no name that could have changed since it was checked.
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  while (!g_makers.try_acquire_for(std::chrono::milliseconds(50))) {
    if (work != nullptr && work->cancelled()) {
      why = "cancelled";
      return std::nullopt;
    }
  }
  struct Release {
    ~Release() { g_makers.release(); }
  } release;
  ImageRef header;
  header.image = vips_image_new_from_file(path.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
  if (header.image == nullptr) {
    why = TakeVipsError();
    return std::nullopt;
  }
  const double pixels = static_cast<double>(vips_image_get_width(header.image)) *
                        static_cast<double>(vips_image_get_height(header.image));
  if (pixels > kMaxThumbnailPixels) {
    why = "too many pixels";
    return std::nullopt;
  }
  ImageRef thumbnail;
  if (vips_thumbnail(path.c_str(), &thumbnail.image, size, "height", size, nullptr) != 0) {
    why = TakeVipsError();
    return std::nullopt;
  }
  ImageRef flat;
  VipsImage* saved = thumbnail.image;
  if (vips_image_hasalpha(thumbnail.image)) {
    VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
    const int failed = vips_flatten(thumbnail.image, &flat.image, "background", white, nullptr);
    vips_area_unref(VIPS_AREA(white));
    if (failed != 0) {
      why = TakeVipsError();
      return std::nullopt;
    }
    saved = flat.image;
  }
  void* buffer = nullptr;
  std::size_t length = 0;
  // The pixels are made here, as the JPEG is written: this is what a cancel stops.
  if (work != nullptr) work->Track(saved);
  const int failed = vips_jpegsave_buffer(saved, &buffer, &length, "Q", 80, "strip", TRUE, nullptr);
  if (work != nullptr) work->Untrack(saved);
  if (failed != 0 || (work != nullptr && work->cancelled())) {
    why = failed != 0 ? TakeVipsError() : "cancelled";
    g_free(buffer);
    return std::nullopt;
  }
  std::string bytes(static_cast<const char*>(buffer), length);
  g_free(buffer);
  return bytes;
}

}  // namespace wharfling::server
