// wharfling upload against the fake photo sites: the real host names reach them through
// WHARFLING_CONNECT_TO and WHARFLING_CA_FILE, and each row's status comes back in the JSON.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "session/site_catalogue.h"
#include "tests/support/command_run.h"
#include "tests/support/fake_sites.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

TEST(UploadCliSites, EachSiteGetsTheRunsStatuses) {
  const std::string ok = "成功", failed = "---失敗---", untouched = "--";
  const std::string limit = "---失敗---[月間転送枚数制限を越えるためアップロードできませんでした]";
  const struct {
    int site;
    std::function<std::unique_ptr<RouteSite>(const SiteAccount&)> makeSite;
    const char* siteSwitch;
    const char* options;
    std::string status;  // of both photos
    int exitStatus;
  } cases[] = {
      {3, MakeFakeZorg, "", "", ok, 0},
      {3, MakeFakeZorg, "monthly-limit", "", limit, 1},
      {4, MakeFakeHatena, "", "", ok, 0},
      {4, MakeFakeHatena, "edit-elsewhere", "", failed, 1},
      {7, MakeFakeMixi, "", "--album 1002 ", ok, 0},
      // No album named: the chooser closes without a choice, no photo is sent, and nothing ran.
      {7, MakeFakeMixi, "", "", untouched, 2},
      {14, MakeFakeSnapfish, "", "", ok, 0},
      {14, MakeFakeSnapfish, "authcode-far", "", failed, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.site) + c.siteSwitch + c.options);
    TempDir dir;
    const auto site = c.makeSite({});
    site->Switch(c.siteSwitch);
    dir.WriteFile("config/wharfling.ini", "[Settings]\nSelect001=" + std::to_string(c.site) + "\n");
    const std::string password = "secret\n";
    const auto run = RunCommand("WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()) +
                                    " WHARFLING_CA_FILE=" + ShellQuote(site->CaFile()) +
                                    " WHARFLING_CONNECT_TO=" + ShellQuote(site->ConnectTo()),
                                WHARFLING_CLI,
                                std::string("upload --json --id alice --password-stdin ") + c.options +
                                    ShellQuote(dir.WriteFile("one/a.jpg", "aaa")) + " " +
                                    ShellQuote(dir.WriteFile("two/b.jpg", "bbbb")),
                                &password);
    EXPECT_EQ(run.status, c.exitStatus) << run.out;
    const auto json = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << run.out;
    EXPECT_EQ(json["rows"][0]["status"], c.status);
    EXPECT_EQ(json["rows"][1]["status"], c.status);
    EXPECT_EQ(json["run_messages"], nlohmann::json::array());
    std::ifstream profile(dir.path() / "config" / "wharfling.ini");
    const std::string saved(std::istreambuf_iterator<char>(profile), {});
    EXPECT_NE(saved.find(std::string(CatalogueRow(c.site).idValue) + "=alice\n"), std::string::npos) << saved;
  }
}

}  // namespace
}  // namespace wharfling::testing
