// The Snapfish driver against its fake site: the shared suite, and what only Snapfish does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

DriverCase SnapfishCase() {
  DriverCase c;
  c.name = "Snapfish";
  c.site = 14;
  c.makeSite = MakeFakeSnapfish;
  c.signInFailedMessage = "ログインに失敗しました。";
  c.uploadPath = "/uploadimagebasic.suup";
  return c;
}

INSTANTIATE_TEST_SUITE_P(Snapfish, DriverSuite, ::testing::Values(SnapfishCase()), DriverCaseName);

TEST(SnapfishDriver, SiteVariants) {
  const struct {
    const char* siteSwitch;
    const char* authcode;
    const char* status;
  } cases[] = {
      {"", "ac-1", "成功"},
      // The login test is a text search for "Location:" or "location:" in the header block.
      {"lowercase-location", "ac-1", "成功"},
      {"content-location", "ac-1", "成功"},
      // "('" more than 70 characters after the upload address: no authcode.
      {"authcode-far", "", "---失敗---"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.siteSwitch);
    OnePhotoRun snapfish(14, MakeFakeSnapfish, c.siteSwitch);
    const auto& run = snapfish.run;
    const auto& site = snapfish.site;
    EXPECT_EQ(run.Statuses(), std::vector<std::string>{c.status});
    const auto expected =
        Replaced(site->Walk().Over({"a.jpg"}), "authcode=ac-1&", std::string("authcode=") + c.authcode + "&");
    EXPECT_EQ(site->RequestLines(), expected);
    const auto requests = site->Requests();
    ASSERT_EQ(requests.size(), expected.size());
    EXPECT_TRUE(requests[1].secure && requests[2].secure) << "the login post and its redirect";
    EXPECT_EQ(requests[1].http.body, "emailaddress=alice&password=secret&btzo=-540&x=39&y=1");
    EXPECT_EQ(requests[1].http.Header("Referer"), "http://www.snapfish.example/login");
    EXPECT_EQ(requests.back().http.Header("Referer"), "http://www.snapfish.example/htmlupload/");
  }
}

}  // namespace
}  // namespace wharfling::testing
