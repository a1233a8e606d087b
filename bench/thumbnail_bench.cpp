// Making the gallery's thumbnail as the server does on a photo's first view: of a 12-megapixel camera
// JPEG (4000 x 3000), and of a small one (320 x 240), whose time is mostly the helper's start.

#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "server/library/thumbnails.h"
#include "tests/support/test_photos.h"

namespace {

void BM_ThumbnailOfJpeg(benchmark::State& state) {
  const std::string jpeg = wharfling::testing::MakeJpeg({.width = static_cast<int>(state.range(0)),
                                                         .height = static_cast<int>(state.range(1)),
                                                         .quality = 90,
                                                         .grain = 24.0,
                                                         .tags = {}});
  const int fd = ::memfd_create("photo.jpg", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, jpeg.data(), jpeg.size()) != static_cast<ssize_t>(jpeg.size())) {
    state.SkipWithError("cannot hold the photo in memory");
    return;
  }
  wharfling::server::ThumbnailWork work(PARVAULT_THUMBNAILER, std::chrono::seconds(60));
  for (auto _ : state) {
    std::string why;
    const auto thumbnail =
        wharfling::server::MakeThumbnail(fd, wharfling::server::kThumbnailSize, why, &work);
    if (!thumbnail) {
      state.SkipWithError(why.c_str());
      break;
    }
    benchmark::DoNotOptimize(thumbnail->data());
  }
  state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
  ::close(fd);
}
BENCHMARK(BM_ThumbnailOfJpeg)
    ->Args({4000, 3000})
    ->Args({320, 240})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
