// The creative people:photo driver against its fake site: the shared suite, and what only it does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

DriverCase CreativePeopleCase() {
  DriverCase c;
  c.name = "CreativePeople";
  c.site = 5;
  c.makeSite = MakeFakeCreativePeople;
  c.signInFailedMessage = "ログインに失敗しました。";
  c.uploadPath = "/fileUploadDone.cr";
  return c;
}

INSTANTIATE_TEST_SUITE_P(CreativePeople, DriverSuite, ::testing::Values(CreativePeopleCase()),
                         DriverCaseName);

struct CreativePeopleRun {
  CreativePeopleRun(const std::string& siteSwitch, int photos)
      : site(MakeFakeCreativePeople({})), run(5, *site) {
    site->Switch(siteSwitch);
    for (int i = 0; i < photos; ++i) run.AddPhoto(std::string(1, static_cast<char>('a' + i)) + ".jpg");
    run.Open();
    run.Press();
  }
  std::unique_ptr<RouteSite> site;
  DriverRun run;
};

TEST(CreativePeopleDriver, SiteVariants) {
  const struct {
    const char* siteSwitch;
    int photos;
    std::function<Lines(const SiteWalk&)> requests;
    std::vector<std::string> statuses;
  } cases[] = {
      // Without the https redirect the second request has no address; the sign-in goes on.
      {"no-https-redirect",
       1,
       [](const SiteWalk& walk) {
         Lines lines = walk.Over({"a.jpg"});
         lines.erase(lines.begin() + 1);
         return lines;
       },
       {"成功"}},
      // A form without its marker sends the photo to the previous photo's target, whose key is spent.
      {"second-form-broken",
       2,
       [](const SiteWalk& walk) {
         return Joined({walk.start, walk.Step(0, "a.jpg"), walk.Step(0, "b.jpg")});
       },
       {"成功", "---失敗---"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.siteSwitch);
    CreativePeopleRun creativePeople(c.siteSwitch, c.photos);
    EXPECT_EQ(creativePeople.site->RequestLines(), c.requests(creativePeople.site->Walk()));
    EXPECT_EQ(creativePeople.run.Statuses(), c.statuses);
  }
}

TEST(CreativePeopleDriver, IdentityRefererLinesAndChannels) {
  CreativePeopleRun creativePeople("", 1);
  const auto requests = creativePeople.site->Requests();
  ASSERT_EQ(requests.size(), 7u);
  EXPECT_EQ(requests[2].http.body, "loginName=alice&password=secret");
  const std::string home = "http://photo.creativepeople.example/home.cr";
  const std::string login = "https://photo.creativepeople.example/login_input.cr";
  const struct {
    bool secure;
    std::string referer;
  } expected[] = {{false, home}, {true, home}, {true, login}, {true, login}, {false, ""}, {false, ""}};
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(requests[i].secure, expected[i].secure);
    EXPECT_EQ(requests[i].http.Header("Referer"), expected[i].referer);
    EXPECT_NE(requests[i].http.Header("User-Agent").find("MSIE 7.0;"), std::string::npos);
  }
  EXPECT_FALSE(requests[6].secure);
}

}  // namespace
}  // namespace wharfling::testing
