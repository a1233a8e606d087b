// A profile at the largest size read (1 MiB of hand-written lines): the start-up of a run reads and
// checks it once, loads the settings and saves one account. The file is parsed once, not once per
// value read, so that a run does not slow down with its size.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/posix/ini_settings_store.h"
#include "session/settings.h"

namespace {

// The folder of the large profile, removed when the benchmarks end.
struct LargeProfile {
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("wharfling-profile-bench-" + std::to_string(::getpid()));
  LargeProfile() {
    std::filesystem::create_directories(folder);
    std::string text = "[Settings]\nSelect001=2\nId002=me\nPw002=pw\n";
    for (int i = 0; text.size() < wharfling::posix::kMaxProfileBytes - 64; ++i)
      text += "Note" + std::to_string(i) + "=kept by hand, never read by the program\n";
    std::ofstream(folder / "wharfling.ini") << text;
  }
  ~LargeProfile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

std::filesystem::path LargeProfileFolder() {
  static const LargeProfile profile;
  return profile.folder;
}

void BM_StartUpOnALargeProfile(benchmark::State& state) {
  const auto folder = LargeProfileFolder();
  for (auto _ : state) {
    std::ostringstream errors;
    wharfling::posix::IniSettingsStore store(folder, "wharfling", errors);
    wharfling::DialogSettings settings;
    wharfling::LoadSettings(store, wharfling::EndpointTable::Defaults(), settings);
    if (settings.account.id != "me" || !errors.str().empty()) state.SkipWithError("profile not read");
    benchmark::DoNotOptimize(settings);
  }
}
BENCHMARK(BM_StartUpOnALargeProfile)->Unit(benchmark::kMillisecond);

void BM_SaveOnALargeProfile(benchmark::State& state) {
  const auto folder = LargeProfileFolder();
  std::ostringstream errors;
  wharfling::posix::IniSettingsStore store(folder, "wharfling", errors);
  wharfling::DialogSettings settings;
  wharfling::LoadSettings(store, wharfling::EndpointTable::Defaults(), settings);
  int round = 0;
  for (auto _ : state) {
    settings.account.password = "pw" + std::to_string(round++ % 2);
    wharfling::SaveSettings(store, settings, /*selectionOnly=*/false);
    if (!store.lastWriteError().empty()) state.SkipWithError(store.lastWriteError().c_str());
  }
}
BENCHMARK(BM_SaveOnALargeProfile)->Unit(benchmark::kMillisecond);

}  // namespace
