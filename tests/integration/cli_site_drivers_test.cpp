// wharfling upload from a terminal against the fake sites of the route-table drivers.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/command_run.h"
#include "tests/support/fake_sites.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

TEST(UploadCliSites, EachSiteTakesBothPhotos) {
  const struct {
    int site;
    std::unique_ptr<RouteSite> (*makeSite)(const SiteAccount&);
  } cases[] = {{5, MakeFakeCreativePeople}, {6, MakeFakePhotohito},      {8, MakeFakeOlio},
               {9, MakeFakeIiiro},          {10, MakeFakeMyPicturetown}, {11, MakeFakeFueru},
               {12, MakeFakeRakuten},       {13, MakeFakePicMate}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.site);
    const auto site = c.makeSite({});
    TempDir dir;
    const std::string number = (c.site < 10 ? "00" : "0") + std::to_string(c.site);
    dir.WriteFile("config/wharfling.ini", "[Settings]\nSelect001=" + std::to_string(c.site) + "\nId" +
                                              number + "=alice\nPw" + number + "=secret\n");
    const auto run = RunCommand("WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()) +
                                    " WHARFLING_CA_FILE=" + ShellQuote(site->CaFile()) +
                                    " WHARFLING_CONNECT_TO=" + ShellQuote(site->ConnectTo()),
                                WHARFLING_CLI,
                                "upload --json " + ShellQuote(dir.WriteFile("a.jpg", "aaa")) + " " +
                                    ShellQuote(dir.WriteFile("b.jpg", "bbbb")));
    ASSERT_EQ(run.status, 0) << run.out;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["rows"][0]["status"], "成功");
    EXPECT_EQ(json["rows"][1]["status"], "成功");
    EXPECT_EQ(site->UploadCount(), 2u);
  }
}

}  // namespace
}  // namespace wharfling::testing
