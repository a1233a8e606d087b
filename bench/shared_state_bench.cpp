// Uploads recorded by 8 uploaders at once through one instance or spread over two instances (each
// with its own pool) on one PostgreSQL database: the hold, then the record, as an upload makes them.
// Each uploader has an account of its own; the photo bytes themselves are not part of this. Needs
// WHARFLING_BENCH_POSTGRES (see library_state_bench.cpp); works in a schema of its own.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "server/state/pg_connection.h"
#include "server/state/postgres_library_state.h"
#include "server/state/state_tokens.h"
#include "server/state/upload_room.h"

namespace {

using namespace wharfling::server::state;

struct SharedDatabase {
  std::string server, schema;
  std::vector<std::unique_ptr<LibraryState>> instances;

  SharedDatabase() {
    const char* conninfo = std::getenv("WHARFLING_BENCH_POSTGRES");
    if (conninfo == nullptr) return;
    server = conninfo;
    schema = "parvault_uploads_" + std::to_string(::getpid());
    try {
      PgConnection(server).Exec("CREATE SCHEMA " + schema);
    } catch (const PgError&) {
      return;
    }
    for (int i = 0; i < 2; ++i) {
      std::string error;
      auto state =
          OpenPostgresLibraryState({server + " options='-c search_path=" + schema + "'", 4, {}, {}}, error);
      if (!state) return;
      instances.push_back(std::move(state));
    }
  }
  ~SharedDatabase() {
    instances.clear();
    try {
      if (!schema.empty()) PgConnection(server).Exec("DROP SCHEMA " + schema + " CASCADE");
    } catch (const PgError&) {
    }
  }
};

SharedDatabase& Shared() {
  static SharedDatabase shared;
  return shared;
}

void BM_UploadsRecorded(benchmark::State& bench) {
  SharedDatabase& shared = Shared();
  if (shared.instances.size() < 2) return bench.SkipWithError("set WHARFLING_BENCH_POSTGRES");
  const auto instances = static_cast<std::size_t>(bench.range(0));
  LibraryState& state = *shared.instances[static_cast<std::size_t>(bench.thread_index()) % instances];
  const std::string account = "uploader" + std::to_string(bench.thread_index());
  std::int64_t n = 0;
  for (auto _ : bench) {
    UploadRoom room(state, std::uint64_t{1} << 40);
    const PhotoEntry photo{NewPhotoId(), account, NewPhotoId() + ".jpg", 3'000'000, ++n, "image/jpeg", ""};
    if (room.Reserve(account, photo.size) != Outcome::kDone || room.Publish(photo) != Outcome::kDone) {
      return bench.SkipWithError("an upload was not recorded");
    }
  }
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(BM_UploadsRecorded)
    ->ArgName("instances")
    ->Arg(1)
    ->Arg(2)
    ->Threads(8)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
