// The server's state with one account of 100,000 photo records (made by the helper below, not by
// uploads): a gallery page (the 24 newest and the account's totals), the lookups its 24 thumbnails
// make, and another account's page beside it; on SQLite, and on PostgreSQL when
// WHARFLING_BENCH_POSTGRES holds a key=value connection string (tests/state/start_private_postgres.sh
// DIR starts a private cluster: "host=DIR user=wharfling dbname=postgres"). The PostgreSQL run works
// in a schema of its own, dropped at the end.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "server/state/pg_connection.h"
#include "server/state/postgres_library_state.h"
#include "server/state/sqlite_library_state.h"
#include "server/state/state_tokens.h"

namespace {

using namespace wharfling::server::state;

constexpr std::size_t kPhotos = 100000;
constexpr std::uint64_t kPageSize = 24;

enum class Backend { kSqlite, kPostgres };

// One state per back end for every benchmark of this file: a large account, a small one and a
// signed-in session.
struct LargeLibrary {
  Backend backend;
  std::filesystem::path folder;
  std::string conninfo;  // PostgreSQL: the bench's own schema
  std::string schema;
  std::unique_ptr<LibraryState> state;
  std::string token;
  double generationMs = 0;

  explicit LargeLibrary(Backend kind) : backend(kind) {
    folder = std::filesystem::temp_directory_path() / ("wharfling-state-bench-" + std::to_string(::getpid()) +
                                                       (kind == Backend::kSqlite ? "-sqlite" : "-postgres"));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    state = Open();
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
    if (!schema.empty()) {
      try {
        PgConnection(Server()).Exec("DROP SCHEMA " + schema + " CASCADE");
      } catch (const PgError&) {
      }
    }
  }
  static std::string Server() {
    const char* conninfo = std::getenv("WHARFLING_BENCH_POSTGRES");
    return conninfo != nullptr ? conninfo : "";
  }
  std::unique_ptr<LibraryState> Open() {
    std::string error;
    if (backend == Backend::kSqlite) {
      SqliteStateOptions options;
      options.file = folder / std::string(kSqliteStateFileName);
      return OpenSqliteLibraryState(options, error);
    }
    if (Server().empty()) return nullptr;
    if (schema.empty()) {
      try {
        schema = "parvault_bench_" + std::to_string(::getpid());
        PgConnection(Server()).Exec("CREATE SCHEMA " + schema);
      } catch (const PgError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        schema.clear();
        return nullptr;
      }
      conninfo = Server() + " options='-c search_path=" + schema + "'";
    }
    return OpenPostgresLibraryState({conninfo, 4, {}, {}}, error);
  }
  // What the database keeps on disk for the records.
  double Bytes() {
    if (backend == Backend::kSqlite) {
      return static_cast<double>(std::filesystem::file_size(folder / std::string(kSqliteStateFileName)));
    }
    try {
      return static_cast<double>(
          PgConnection(conninfo).Exec("SELECT pg_total_relation_size('photos')").Int(0, 0));
    } catch (const PgError&) {
      return 0;
    }
  }
  static std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

LargeLibrary& Library(Backend backend) {
  if (backend == Backend::kSqlite) {
    static LargeLibrary sqlite(Backend::kSqlite);
    return sqlite;
  }
  static LargeLibrary postgres(Backend::kPostgres);
  return postgres;
}

const char* kNoState =
    "the state could not be made (PostgreSQL: set WHARFLING_BENCH_POSTGRES to a connection string)";

void BM_GalleryPageOf100000Photos(benchmark::State& bench, Backend backend) {
  LargeLibrary& library = Library(backend);
  if (!library.state) return bench.SkipWithError(kNoState);
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
  bench.counters["database_bytes"] = library.Bytes();
}
// The first page, and the last.
BENCHMARK_CAPTURE(BM_GalleryPageOf100000Photos, sqlite, Backend::kSqlite)
    ->Arg(0)
    ->Arg(kPhotos - kPageSize)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GalleryPageOf100000Photos, postgres, Backend::kPostgres)
    ->Arg(0)
    ->Arg(kPhotos - kPageSize)
    ->Unit(benchmark::kMicrosecond);

// What the state does for a page and its 24 thumbnails: the session of each of the 25 requests,
// the page, and each thumbnail's photo by id.
void BM_GalleryPageWithItsThumbnails(benchmark::State& bench, Backend backend) {
  LargeLibrary& library = Library(backend);
  if (!library.state) return bench.SkipWithError(kNoState);
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
BENCHMARK_CAPTURE(BM_GalleryPageWithItsThumbnails, sqlite, Backend::kSqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GalleryPageWithItsThumbnails, postgres, Backend::kPostgres)
    ->Unit(benchmark::kMicrosecond);

// A server's start: the file checked and opened, then its first page.
void BM_OpenAndFirstPage(benchmark::State& bench, Backend backend) {
  LargeLibrary& library = Library(backend);
  if (!library.state) return bench.SkipWithError(kNoState);
  library.state.reset();  // SQLite: one server at a time
  for (auto _ : bench) {
    auto opened = library.Open();
    PhotoPage page;
    if (!opened || opened->Photos("alice", 0, kPageSize, page) != Outcome::kDone) {
      bench.SkipWithError("cannot open the state again");
      break;
    }
  }
  library.state = library.Open();
}
BENCHMARK_CAPTURE(BM_OpenAndFirstPage, sqlite, Backend::kSqlite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenAndFirstPage, postgres, Backend::kPostgres)->Unit(benchmark::kMillisecond);

// Another account's page while the large one exists; measured from several threads at once.
void BM_OtherAccountsPage(benchmark::State& bench, Backend backend) {
  LargeLibrary& library = Library(backend);
  if (!library.state) return bench.SkipWithError(kNoState);
  for (auto _ : bench) {
    PhotoPage page;
    if (library.state->Photos("bob", 0, kPageSize, page) != Outcome::kDone ||
        page.photos.size() != kPageSize) {
      return bench.SkipWithError("wrong page");
    }
  }
}
BENCHMARK_CAPTURE(BM_OtherAccountsPage, sqlite, Backend::kSqlite)
    ->Unit(benchmark::kMicrosecond)
    ->Threads(1)
    ->Threads(4)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_OtherAccountsPage, postgres, Backend::kPostgres)
    ->Unit(benchmark::kMicrosecond)
    ->Threads(1)
    ->Threads(4)
    ->UseRealTime();

}  // namespace
