// wharfling upload against the fake sites whose drivers make no sign-in test: the whole job from a
// terminal, from the saved account to the saved settings.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "tests/support/command_run.h"
#include "tests/support/fake_sites.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

TEST(SiteDriversCli, UploadsToEachSiteAndSavesTheAccount) {
  const struct {
    const char* site;  // the destination index as the profile writes it
    std::function<std::unique_ptr<RouteSite>(const SiteAccount&)> makeSite;
  } sites[] = {
      {"10", MakeFakeMyPicturetown}, {"11", MakeFakeFueru}, {"12", MakeFakeRakuten}, {"13", MakeFakePicMate}};
  for (const auto& s : sites) {
    SCOPED_TRACE(s.site);
    const auto site = s.makeSite({});
    TempDir dir;
    dir.WriteFile("config/wharfling.ini", std::string("[Settings]\nSelect001=") + s.site + "\n");
    const std::string password = "secret\n";
    const auto run = RunCommand(
        "WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()) + " WHARFLING_CA_FILE=" +
            ShellQuote(site->CaFile()) + " WHARFLING_CONNECT_TO=" + ShellQuote(site->ConnectTo()),
        WHARFLING_CLI,
        "upload --json --id alice --password-stdin " + ShellQuote(dir.WriteFile("a.jpg", "aaa")), &password);
    ASSERT_EQ(run.status, 0) << run.out;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["rows"], (nlohmann::json{{{"name", "a.jpg"}, {"size", "3"}, {"status", "成功"}}}));
    EXPECT_EQ(json["run_messages"], nlohmann::json::array());
    EXPECT_EQ(site->Uploads().size(), 1u);
    std::ifstream saved(dir.path() / "config" / "wharfling.ini");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}),
              std::string("[Settings]\nSelect001=") + s.site + "\nId0" + s.site + "=alice\nPw0" + s.site +
                  "=secret\n");
  }
}

}  // namespace
}  // namespace wharfling::testing
