// The PHOTOHITO driver against its fake site: the shared suite, and what only PHOTOHITO does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

DriverCase PhotohitoCase() {
  DriverCase c;
  c.name = "Photohito";
  c.site = 6;
  c.makeSite = MakeFakePhotohito;
  c.signInFailedMessage = "ログインに失敗しました。";
  c.uploadPath = "/photo/upload";
  return c;
}

INSTANTIATE_TEST_SUITE_P(Photohito, DriverSuite, ::testing::Values(PhotohitoCase()), DriverCaseName);

struct PhotohitoRun : OnePhotoRun {
  explicit PhotohitoRun(const std::string& siteSwitch) : OnePhotoRun(6, MakeFakePhotohito, siteSwitch) {}
};

TEST(PhotohitoDriver, RefusedUploadFailsAndStillConfirms) {
  PhotohitoRun photohito("refuse");
  // No redirect: the confirmation page of the first photo has no address to go to.
  const SiteWalk walk = photohito.site->Walk();
  EXPECT_EQ(
      photohito.site->RequestLines(),
      Joined({walk.start, {"GET /photo/upload/html", "POST /photo/upload", "POST /photo/check"}, walk.end}));
  EXPECT_EQ(photohito.run.Statuses(), std::vector<std::string>{"---失敗---"});
}

TEST(PhotohitoDriver, TokensRefererLinesAndChannels) {
  PhotohitoRun photohito("");
  const auto requests = photohito.site->Requests();
  ASSERT_EQ(requests.size(), 8u);
  EXPECT_EQ(requests[1].http.body,
            "_csrf_token=t-login&username=alice&password=secret&referer=http://photohito.example/mypage");
  EXPECT_EQ(requests[6].http.body, "_csrf_token=t-check-n=1") << "the confirmation page's token";
  const struct {
    bool secure;
    const char* referer;
  } expected[] = {
      {true, ""},
      {true, "https://photohito.example/user/login"},
      {false, "https://photohito.example/user/login"},
      {false, ""},
      {false, "http://photohito.example/photo/upload/html"},
      {false, "http://photohito.example/photo/upload/html"},
      {false, ""},
      {false, ""},
  };
  for (std::size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(requests[i].secure, expected[i].secure);
    EXPECT_EQ(requests[i].http.Header("Referer"), expected[i].referer);
  }
}

}  // namespace
}  // namespace wharfling::testing
