// Making the gallery's thumbnail of a 12-megapixel camera JPEG (4000 x 3000), as the server does
// on a photo's first view.

#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "server/library/thumbnails.h"
#include "tests/support/test_photos.h"

namespace {

void BM_ThumbnailOf12MegapixelJpeg(benchmark::State& state) {
  const std::string jpeg =
      wharfling::testing::MakeJpeg({.width = 4000, .height = 3000, .quality = 90, .grain = 24.0, .tags = {}});
  const int fd = ::memfd_create("photo.jpg", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, jpeg.data(), jpeg.size()) != static_cast<ssize_t>(jpeg.size())) {
    state.SkipWithError("cannot hold the photo in memory");
    return;
  }
  for (auto _ : state) {
    std::string why;
    const auto thumbnail = wharfling::server::MakeThumbnail(fd, wharfling::server::kThumbnailSize, why);
    if (!thumbnail) {
      state.SkipWithError(why.c_str());
      break;
    }
    benchmark::DoNotOptimize(thumbnail->data());
  }
  state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
  ::close(fd);
}
BENCHMARK(BM_ThumbnailOf12MegapixelJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
