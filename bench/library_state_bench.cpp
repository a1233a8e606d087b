// The server's state with one account of 100,000 photo records (made by the helper below, not by
// uploads): a gallery page (the 24 newest and the account's totals), the lookups its 24 thumbnails
// make, and another account's page beside it.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "server/state/sqlite_library_state.h"
#include "server/state/state_tokens.h"

namespace {

using namespace wharfling::server::state;

constexpr std::size_t kPhotos = 100000;
constexpr std::uint64_t kPageSize = 24;

// One state for every benchmark of this file: a large account, a small one and a signed-in session.
struct LargeLibrary {
  std::filesystem::path folder;
  std::unique_ptr<LibraryState> state;
  std::string token;
  double generationMs = 0;

  LargeLibrary() {
    folder = std::filesystem::temp_directory_path() / ("wharfling-state-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    SqliteStateOptions options;
    options.file = folder / std::string(kSqliteStateFileName);
    std::string error;
    state = OpenSqliteLibraryState(options, error);
    if (!state) return;
    const auto start = std::chrono::steady_clock::now();
    FolderChanges large, small;
    for (std::size_t i = 0; i < kPhotos; ++i) {
      large.added.push_back({NewPhotoId(), "alice", "IMG_" + std::to_string(100000 + i) + ".jpg",
                             2'000'000 + i, 1'600'000'000'000 + static_cast<std::int64_t>(i) * 1000,
                             "image/jpeg", ""});
    }
    for (std::size_t i = 0; i < 30; ++i) {
      small.added.push_back(
          {NewPhotoId(), "bob", "b" + std::to_string(i) + ".jpg", 1000, 1'700'000'000'000, "image/jpeg", ""});
    }
    if (state->ApplyFolderChanges("alice", large) != Outcome::kDone ||
        state->ApplyFolderChanges("bob", small) != Outcome::kDone ||
        state->OpenSession("alice", NowMs(), token) != Outcome::kDone) {
      state.reset();
    }
    generationMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  ~LargeLibrary() {
    state.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  static std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

LargeLibrary& Library() {
  static LargeLibrary library;
  return library;
}

void BM_GalleryPageOf100000Photos(benchmark::State& bench) {
  LargeLibrary& library = Library();
  if (!library.state) return bench.SkipWithError("the state could not be made");
  const std::uint64_t offset = static_cast<std::uint64_t>(bench.range(0));
  for (auto _ : bench) {
    PhotoPage page;
    if (library.state->Photos("alice", offset, kPageSize, page) != Outcome::kDone ||
        page.photos.size() != kPageSize || page.usage.photos != kPhotos) {
      return bench.SkipWithError("wrong page");
    }
    benchmark::DoNotOptimize(page.photos.data());
  }
  bench.counters["generate_100000_ms"] = library.generationMs;
  bench.counters["database_bytes"] =
      static_cast<double>(std::filesystem::file_size(library.folder / std::string(kSqliteStateFileName)));
}
// The first page, and the last.
BENCHMARK(BM_GalleryPageOf100000Photos)->Arg(0)->Arg(kPhotos - kPageSize)->Unit(benchmark::kMicrosecond);

// What the state does for a page and its 24 thumbnails: the session of each of the 25 requests,
// the page, and each thumbnail's photo by id.
void BM_GalleryPageWithItsThumbnails(benchmark::State& bench) {
  LargeLibrary& library = Library();
  if (!library.state) return bench.SkipWithError("the state could not be made");
  for (auto _ : bench) {
    std::string account;
    PhotoPage page;
    if (library.state->FindSession(library.token, LargeLibrary::NowMs(), account) != Outcome::kDone ||
        library.state->Photos(account, 0, kPageSize, page) != Outcome::kDone) {
      return bench.SkipWithError("no page");
    }
    for (const auto& photo : page.photos) {
      PhotoEntry found;
      if (library.state->FindSession(library.token, LargeLibrary::NowMs(), account) != Outcome::kDone ||
          library.state->FindPhoto(account, photo.id, found) != Outcome::kDone) {
        return bench.SkipWithError("a thumbnail's photo was not found");
      }
    }
  }
}
BENCHMARK(BM_GalleryPageWithItsThumbnails)->Unit(benchmark::kMicrosecond);

// A server's start: the file checked and opened, then its first page.
void BM_OpenAndFirstPage(benchmark::State& bench) {
  LargeLibrary& library = Library();
  if (!library.state) return bench.SkipWithError("the state could not be made");
  SqliteStateOptions options;
  options.file = library.folder / std::string(kSqliteStateFileName);
  library.state.reset();  // one server at a time
  std::string error;
  for (auto _ : bench) {
    auto opened = OpenSqliteLibraryState(options, error);
    PhotoPage page;
    if (!opened || opened->Photos("alice", 0, kPageSize, page) != Outcome::kDone) {
      bench.SkipWithError("cannot open the state again");
      break;
    }
  }
  library.state = OpenSqliteLibraryState(options, error);
}
BENCHMARK(BM_OpenAndFirstPage)->Unit(benchmark::kMillisecond);

// Another account's page while the large one exists; measured from several threads at once.
void BM_OtherAccountsPage(benchmark::State& bench) {
  LargeLibrary& library = Library();
  if (!library.state) return bench.SkipWithError("the state could not be made");
  for (auto _ : bench) {
    PhotoPage page;
    if (library.state->Photos("bob", 0, kPageSize, page) != Outcome::kDone ||
        page.photos.size() != kPageSize) {
      return bench.SkipWithError("wrong page");
    }
  }
}
BENCHMARK(BM_OtherAccountsPage)->Unit(benchmark::kMicrosecond)->Threads(1)->Threads(4)->UseRealTime();

}  // namespace
