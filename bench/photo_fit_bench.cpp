// Time to bring a 12-megapixel JPEG under 2,000,000 bytes: decoding once, then the encodings of the
// search for the largest result within the limit.

#include <benchmark/benchmark.h>
#include <vips/vips.h>

#include <string>

#include "platform/posix/posix_photo_preparer.h"
#include "platform/posix/vips_photo.h"
#include "web/shrink_search.h"

namespace {

constexpr std::size_t kLimit = 2000000;

// 4000 x 3000 pixels of a gradient with grain: detail that compresses about as a photo does.
std::string TwelveMegapixelJpeg() {
  if (!wharfling::posix::StartVips()) return {};
  VipsImage* grain = nullptr;
  VipsImage* ramp = nullptr;
  VipsImage* sum = nullptr;
  VipsImage* rgb = nullptr;
  VipsImage* bytes = nullptr;
  std::string jpeg;
  if (vips_gaussnoise(&grain, 4000, 3000, "sigma", 18.0, "mean", 0.0, nullptr) == 0 &&
      vips_xyz(&ramp, 4000, 3000, nullptr) == 0) {
    VipsImage* x = nullptr;
    vips_extract_band(ramp, &x, 0, nullptr);
    VipsImage* scaled = nullptr;
    vips_linear1(x, &scaled, 255.0 / 4000, 0.0, nullptr);
    if (vips_add(scaled, grain, &sum, nullptr) == 0) {
      VipsImage* three[] = {sum, sum, sum};
      if (vips_bandjoin(three, &rgb, 3, nullptr) == 0 && vips_cast_uchar(rgb, &bytes, nullptr) == 0) {
        void* buffer = nullptr;
        std::size_t length = 0;
        if (vips_jpegsave_buffer(bytes, &buffer, &length, "Q", 95, nullptr) == 0) {
          jpeg.assign(static_cast<const char*>(buffer), length);
          g_free(buffer);
        }
      }
    }
    for (VipsImage* image : {x, scaled}) {
      if (image != nullptr) g_object_unref(image);
    }
  }
  for (VipsImage* image : {grain, ramp, sum, rgb, bytes}) {
    if (image != nullptr) g_object_unref(image);
  }
  return jpeg;
}

void BM_ShrinkTwelveMegapixelsToTwoMegabytes(benchmark::State& state) {
  const std::string photo = TwelveMegapixelJpeg();
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
