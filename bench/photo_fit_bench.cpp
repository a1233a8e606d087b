// Time to bring a 12-megapixel JPEG under 2,000,000 bytes: decoding once, then the encodings of the
// search for the largest result within the limit.

#include <benchmark/benchmark.h>

#include <string>

#include "photo/shrink_search.h"
#include "platform/posix/posix_photo_preparer.h"
#include "tests/support/test_photos.h"

namespace {

constexpr std::size_t kLimit = 2000000;

void BM_ShrinkTwelveMegapixelsToTwoMegabytes(benchmark::State& state) {
  // Grain that compresses about as a camera photo does.
  const std::string photo =
      wharfling::testing::MakeJpeg({.width = 4000, .height = 3000, .quality = 95, .grain = 18.0, .tags = {}});
  if (photo.size() <= kLimit) {
    state.SkipWithError("the test photo did not come out over the limit");
    return;
  }
  wharfling::posix::PosixPhotoPreparer preparer;
  std::size_t result = 0;
  for (auto _ : state) {
    std::string why;
    const auto decoded = preparer.DecodeJpeg(photo, why);
    const auto shrunk = decoded ? wharfling::ShrinkToLimit(*decoded, kLimit) : std::nullopt;
    if (!shrunk) {
      state.SkipWithError("could not shrink");
      return;
    }
    result = shrunk->size();
  }
  state.counters["original_bytes"] = static_cast<double>(photo.size());
  state.counters["result_bytes"] = static_cast<double>(result);
}
BENCHMARK(BM_ShrinkTwelveMegapixelsToTwoMegabytes)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace
