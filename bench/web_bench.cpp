// Speed of the web layer's two heavy paths: walking a long album list with repeated bracketed searches,
// and building the body of a large upload.

#include <benchmark/benchmark.h>

#include <string>

#include "web/page_tools.h"
#include "web/response_chunks.h"
#include "web/upload_sender.h"

namespace {

// A page of entries of about 200 bytes each, double-byte characters included, kept as body reads.
wharfling::ChunkList AlbumPage(int entries) {
  std::string page = "<html><body><ul>";
  const std::string filler =
      "<span class=\"note\">\x82\xA0\x82\xA2\x83\x5C\x83\x5C" + std::string(115, '.') + "</span>";
  for (int i = 0; i < entries; ++i) {
    page += "<li><a href=\"/album?id=" + std::to_string(100000 + i) + "\">Album " + std::to_string(i) +
            "</a>" + filler + "</li>\n";
  }
  page += "</ul></body></html>";
  return wharfling::SplitIntoReads(page);
}

void BM_ExtractPairWalk(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  const wharfling::ChunkList page = AlbumPage(entries);
  std::size_t bytes = 0;
  for (const auto& chunk : page) bytes += chunk.size();
  for (auto _ : state) {
    int found = 0;
    int from = 0;
    wharfling::Text id;
    wharfling::Text name;
    while ((from = wharfling::ExtractPair(page, "album?id=", "\">", 20, "</a>", id, name, from)) > 0) ++found;
    if (found != entries) state.SkipWithError("walk lost entries");
    benchmark::DoNotOptimize(name);
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ExtractPairWalk)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_BuildUploadBody(benchmark::State& state) {
  const std::string photo(static_cast<std::size_t>(state.range(0)), '\xAB');
  for (auto _ : state) {
    const wharfling::MultipartBody body =
        wharfling::BuildUploadBody(wharfling::UploadSender::kZorg, "C:\\Photos\\holiday.jpg", photo,
                                   {{"uk", "uk-value"}, {"c", "c-value"}, {"m", "m-value"}});
    benchmark::DoNotOptimize(body.bytes().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_BuildUploadBody)->Arg(5'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
