// wharfling upload against the fake photo sites, one row per destination and outcome: the real host
// names reach them through WHARFLING_CONNECT_TO and WHARFLING_CA_FILE, the account comes from the
// command line or the profile, and each row's status and the exit status come back from the program.
// What a driver does on its site is the driver suite's; this is the program end to end.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/support/command_run.h"
#include "tests/support/fake_sites.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

TEST(UploadCliSites, EachSiteGetsTheRunsStatuses) {
  const std::string ok = "成功", failed = "---失敗---", untouched = "--";
  const std::string limit = "---失敗---[月間転送枚数制限を越えるためアップロードできませんでした]";
  constexpr bool kCommandLine = true, kProfile = false;  // where the account comes from
  const struct {
    int site;
    std::unique_ptr<RouteSite> (*makeSite)(const SiteAccount&);
    bool accountOnCommandLine;
    const char* siteSwitch;
    const char* options;
    std::string status;  // of both photos
    int exitStatus;
  } cases[] = {
      {3, MakeFakeZorg, kCommandLine, "", "", ok, 0},
      {3, MakeFakeZorg, kCommandLine, "monthly-limit", "", limit, 1},
      {4, MakeFakeHatena, kCommandLine, "", "", ok, 0},
      {4, MakeFakeHatena, kCommandLine, "edit-elsewhere", "", failed, 1},
      {5, MakeFakeCreativePeople, kProfile, "", "", ok, 0},
      {6, MakeFakePhotohito, kProfile, "", "", ok, 0},
      {7, MakeFakeMixi, kCommandLine, "", "--album 1002 ", ok, 0},
      // No album named: the chooser closes without a choice, no photo is sent, and nothing ran.
      {7, MakeFakeMixi, kCommandLine, "", "", untouched, 2},
      {8, MakeFakeOlio, kProfile, "", "", ok, 0},
      {9, MakeFakeIiiro, kProfile, "", "", ok, 0},
      {10, MakeFakeMyPicturetown, kProfile, "", "", ok, 0},
      {11, MakeFakeFueru, kProfile, "", "", ok, 0},
      {12, MakeFakeRakuten, kProfile, "", "", ok, 0},
      {13, MakeFakePicMate, kProfile, "", "", ok, 0},
      {14, MakeFakeSnapfish, kCommandLine, "", "", ok, 0},
      {14, MakeFakeSnapfish, kCommandLine, "authcode-far", "", failed, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("destination " + std::to_string(c.site) + " " + c.siteSwitch + " " + c.options);
    TempDir dir;
    const auto site = c.makeSite({});
    site->Switch(c.siteSwitch);
    std::string number = std::to_string(c.site);
    number.insert(0, 3 - number.size(), '0');  // as in Id003
    const std::string savedId = "Id" + std::string(number) + "=alice\n";
    dir.WriteFile("config/wharfling.ini",
                  "[Settings]\nSelect001=" + std::to_string(c.site) + "\n" +
                      (c.accountOnCommandLine ? "" : savedId + "Pw" + number + "=secret\n"));
    const std::string password = "secret\n";
    const auto run = RunCommand(
        "WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()) + " WHARFLING_CA_FILE=" +
            ShellQuote(site->CaFile()) + " WHARFLING_CONNECT_TO=" + ShellQuote(site->ConnectTo()),
        WHARFLING_CLI,
        std::string("upload --json ") + (c.accountOnCommandLine ? "--id alice --password-stdin " : "") +
            c.options + ShellQuote(dir.WriteFile("one/a.jpg", "aaa")) + " " +
            ShellQuote(dir.WriteFile("two/b.jpg", "bbbb")),
        c.accountOnCommandLine ? &password : nullptr);
    EXPECT_EQ(run.status, c.exitStatus) << run.out;
    const auto json = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << run.out;
    EXPECT_EQ(json["rows"][0]["status"], c.status);
    EXPECT_EQ(json["rows"][1]["status"], c.status);
    EXPECT_EQ(json["run_messages"], nlohmann::json::array());
    if (c.status == ok) {
      EXPECT_EQ(site->UploadCount(), 2u);
    }
    std::ifstream profile(dir.path() / "config" / "wharfling.ini");
    const std::string saved(std::istreambuf_iterator<char>(profile), {});
    EXPECT_NE(saved.find(savedId), std::string::npos) << saved;
  }
}

}  // namespace
}  // namespace wharfling::testing
