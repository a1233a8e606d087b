// Whole drops under Wine: the drop handler created through COM, two photos dropped, the account
// typed, the destination button pressed, and every photo uploaded through WinINet to a fake site on
// loopback. Each destination is one entry of kDriverRuns.

#include <gmock/gmock.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "tests/support/fake_parvault.h"
#include "tests/support/temp_dir.h"
#include "tests/wine/wine_test.h"

namespace wharfling::testing {
namespace {

namespace fs = std::filesystem;

// What one destination's run needs: its fake site, the settings that select it and point it at the
// fake, the account the user types, and what the site must have received.
struct DriverRun {
  const char* name;
  std::function<std::unique_ptr<FakeSite>()> makeSite;
  // "Section/Name=value" settings ("#" before a number for REG_DWORD).
  std::function<std::vector<std::string>(const FakeSite&)> settings;
  const char* id;
  const char* password;
  // The file names and contents the site stored, in arrival order.
  std::function<std::vector<std::pair<std::string, std::string>>(const FakeSite&)> received;
  // Profile values the run must leave, as "Section|Name|type|data".
  std::vector<std::string> savedValues;
};

std::string LoopbackUrl(const FakeSite& site) {
  return "http://127.0.0.1:" + std::to_string(site.PlainPort());
}

const DriverRun kDriverRuns[] = {
    {"Parvault",
     [] { return std::make_unique<FakeParvault>("www.parvault.example", ""); },
     [](const FakeSite& site) {
       return std::vector<std::string>{"Settings/Select001=#1", "Settings/Url001=" + LoopbackUrl(site)};
     },
     "alice",
     "secret",
     [](const FakeSite& site) {
       std::vector<std::pair<std::string, std::string>> files;
       for (const auto& upload : static_cast<const FakeParvault&>(site).Uploads())
         files.emplace_back(upload.fileName, upload.bytes);
       return files;
     },
     {"Settings|ParvaultD|REG_SZ|alice", "Settings|ParvaultW|REG_SZ|secret",
      "Settings|Select001|REG_DWORD|1"}},
};

class DriverRunTest : public WineTest, public ::testing::WithParamInterface<DriverRun> {};

TEST_P(DriverRunTest, ADropOfTwoPhotosUploadsBoth) {
  const DriverRun& run = GetParam();
  RegisterModule();
  ForgetSettings();
  auto site = run.makeSite();
  TempDir photos;
  const std::string first = photos.WriteFile("first.jpg", std::string("\xFF\xD8\xFF\xE0 first photo", 17));
  const std::string second = photos.WriteFile("second.jpg", std::string(30000, 's'));

  std::vector<std::string> args = {"drop"};
  for (const auto& setting : run.settings(*site)) args.insert(args.end(), {"--setting", setting});
  args.insert(args.end(), {"--id", run.id, "--password", run.password, "--press", "--",
                           WineSession::WindowsPath(first), WineSession::WindowsPath(second)});
  const auto drop = wine().Probe(args).output;

  EXPECT_EQ(drop["files.hr"], "0x00000000");
  EXPECT_EQ(drop["start.button"], std::string(run.name) + " hidden enabled") << "no account yet";
  EXPECT_EQ(drop["typed.button"], std::string(run.name) + " visible enabled");
  EXPECT_EQ(drop.All("done.row"), (std::vector<std::string>{"first.jpg|17|成功", "second.jpg|30000|成功"}));
  EXPECT_EQ(drop["done.progress"], "2/2");
  EXPECT_EQ(drop.All("message"), std::vector<std::string>{"アカウントを設定してください。"})
      << "only the start-up's request for an account";
  EXPECT_EQ(drop["drop.hr"], "0x00000000");
  EXPECT_EQ(drop["drop.effect"], "1");

  EXPECT_EQ(run.received(*site),
            (std::vector<std::pair<std::string, std::string>>{
                {WineSession::WindowsPath(first), std::string("\xFF\xD8\xFF\xE0 first photo", 17)},
                {WineSession::WindowsPath(second), std::string(30000, 's')}}));

  std::vector<std::string> saved;
  for (const auto& value :
       wine().Probe({"regdump", "HKCU\\Software\\Ferrowind\\wharfling"}).output.All("value")) {
    saved.push_back(value.substr(value.find("wharfling\\") + 10));
  }
  EXPECT_THAT(saved, ::testing::IsSupersetOf(run.savedValues));
}

INSTANTIATE_TEST_SUITE_P(Sites, DriverRunTest, ::testing::ValuesIn(kDriverRuns),
                         [](const auto& entry) { return std::string(entry.param.name); });

}  // namespace
}  // namespace wharfling::testing
