// The Fueru driver against its fake site: the shared suite, and what only Fueru does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"
#include "tests/support/seen_requests.h"

namespace wharfling::testing {
namespace {

DriverCase FueruCase() {
  DriverCase c;
  c.name = "Fueru";
  c.site = 11;
  c.makeSite = MakeFakeFueru;
  c.testsSignIn = false;
  c.uploadPath = "/photo/upload/UPL002C_Up.php";
  c.claimsEveryPhoto = "report-ok";
  return c;
}

INSTANTIATE_TEST_SUITE_P(Fueru, DriverSuite, ::testing::Values(FueruCase()), DriverCaseName);

TEST(FueruDriver, EveryRequestAsTheSiteSawIt) {
  auto site = MakeFakeFueru({});
  DriverRun run(11, *site);
  // Blanks and non-ASCII in the path go into the error report's body raw.
  const std::string path = run.AddPhoto("写 真/a b.jpg");
  run.Open();
  run.Press();
  const std::string tool = "http://www.fueru.example/photo/upload/UPL002C_Init.php";
  const std::vector<SeenRequest> expected = {
      {"GET /index.php", true, "", ""},
      {"POST /TOP001C_Login.php", true, "https://www.fueru.example/index.php",
       "txtMailAdr=alice&txtPassward=secret&topPage=true&flash=9.0.124&userKbn=0"},
      {"GET /photo/mypage/MPG001C_Init.php", false, "https://www.fueru.example/TOP001C_Login.php", ""},
      {"GET /photo/upload/UPL001C_Init.php", false, "", ""},
      {"GET /photo/upload/UPL002C_Init.php", false, "", ""},
      {"POST /photo/upload/UPL001C_GetFolderId.php", false, tool, "folderId=0"},
      {"POST /photo/upload/UPL001C_GetFolder.php", false, tool, ""},
      {"POST /photo/upload/UPL002C_Up.php", false, tool, "multipart"},
      {"POST /photo/upload/UPL001C_GetError.php", false, tool, "fileName=" + posix::Utf8ToCp932(path)},
  };
  EXPECT_EQ(SeenRequests(*site), expected);
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"成功"});
}

TEST(FueruDriver, DroppedPostFailsThoughTheReportIsClean) {
  auto site = MakeFakeFueru({});
  site->Switch("report-ok");
  site->InjectFault("/UPL002C_Up.php", SiteFault::kDropConnection);
  DriverRun run(11, *site);
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  EXPECT_EQ(site->RequestLines().back(), "POST /photo/upload/UPL001C_GetError.php")
      << "the report is still asked for";
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"---失敗---"});
}

}  // namespace
}  // namespace wharfling::testing
