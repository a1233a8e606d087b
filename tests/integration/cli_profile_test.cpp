// Two `wharfling upload` runs at once on one profile, each to its own destination: both accounts
// are in the profile afterwards, every time. (The saves themselves are forced to meet in
// profile_crash_test; here the whole program is held to it.)

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "tests/support/command_run.h"
#include "tests/support/fake_parvault.h"
#include "tests/support/file_inspection.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

TEST(ProfileCli, TwoRunsAtOnceKeepBothAccounts) {
  ParvaultTestServer inHouse;                        // destination 2: alice / secret
  FakeParvault service("www.parvault.example", "");  // destination 1
  service.SetAccount("fay", "pw-fay");
  TempDir dir;
  const auto config = dir.path() / "config";
  dir.WriteFile("config/endpoints.ini",
                "[Endpoints]\ninhouse.server=127.0.0.1:" + std::to_string(inHouse.port()) + "\n");
  const std::string environment =
      "DBUS_SESSION_BUS_ADDRESS= XDG_RUNTIME_DIR= WHARFLING_CONFIG_DIR=" + ShellQuote(config.string()) +
      " WHARFLING_CA_FILE=" + ShellQuote(service.CaFile()) +
      " WHARFLING_CONNECT_TO=" + ShellQuote(service.ConnectTo());
  const std::string photo = ShellQuote(dir.WriteFile("a.jpg", "photo"));
  const std::string fayPassword = "pw-fay\n";
  const std::string alicePassword = "secret\n";
  for (int pair = 0; pair < 40; ++pair) {
    std::filesystem::remove(config / "wharfling.ini");
    CommandResult toService, toInHouse;
    std::thread first([&] {
      toService = RunCommand(environment, WHARFLING_CLI,
                             "upload --destination 1 --id fay --password-stdin " + photo, &fayPassword);
    });
    std::thread second([&] {
      toInHouse = RunCommand(environment, WHARFLING_CLI,
                             "upload --destination 2 --id alice --password-stdin " + photo, &alicePassword);
    });
    first.join();
    second.join();
    ASSERT_EQ(toService.status, 0) << toService.err;
    ASSERT_EQ(toInHouse.status, 0) << toInHouse.err;
    const std::string profile = FileContents(config / "wharfling.ini");
    for (const char* value : {"ParvaultD=fay\n", "ParvaultW=pw-fay\n", "Id002=alice\n", "Pw002=secret\n"})
      EXPECT_NE(profile.find(value), std::string::npos) << "pair " << pair << " lost " << value << profile;
  }
}

}  // namespace
}  // namespace wharfling::testing
