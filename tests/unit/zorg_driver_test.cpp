// The Zorg driver against its fake site: the shared suite, and what only Zorg does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

DriverCase ZorgCase() {
  DriverCase c;
  c.name = "Zorg";
  c.site = 3;
  c.makeSite = MakeFakeZorg;
  c.uploadPath = "/ctr/upload";
  return c;
}

INSTANTIATE_TEST_SUITE_P(Zorg, DriverSuite, ::testing::Values(ZorgCase()), DriverCaseName);

TEST(ZorgDriver, SiteVariants) {
  const struct {
    const char* siteSwitch;
    Lines afterSignIn;
    const char* status;
  } cases[] = {
      // A redirect after the login is followed unchanged and counts as signed in.
      {"login-redirect",
       {"GET /pub/mytop", "GET /ctr/upbrow", "POST /ctr/upload", "GET /pub/done?n=1"},
       "成功"},
      // Without the form's action the photo goes to the form page's own address.
      {"no-form-target", {"GET /ctr/upbrow", "POST /ctr/upbrow", "GET /pub/done?n=1"}, "成功"},
      // The limit notice gives its own reason, and no redirect is fetched.
      {"monthly-limit",
       {"GET /ctr/upbrow", "POST /ctr/upload"},
       "---失敗---[月間転送枚数制限を越えるためアップロードできませんでした]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.siteSwitch);
    OnePhotoRun zorg(3, MakeFakeZorg, c.siteSwitch);
    EXPECT_EQ(zorg.site->RequestLines(), Joined({zorg.site->Walk().start, c.afterSignIn}));
    EXPECT_EQ(zorg.run.Statuses(), std::vector<std::string>{c.status});
  }
}

TEST(ZorgDriver, UploadFormValuesAndLoginBodyGoOutAsTheSiteGaveThem) {
  OnePhotoRun zorg(3, MakeFakeZorg, "");
  const auto requests = zorg.site->Requests();
  EXPECT_EQ(requests[1].http.body, "lid=alice&lpw=secret&m=login&to=&submit1.x=19&submit1.y=5");
  EXPECT_EQ(requests[1].http.Header("Referer"), "http://www.zorg.example/");
  const auto uploads = zorg.site->Uploads();
  ASSERT_EQ(uploads.size(), 1u);
  std::vector<std::string> names;
  for (const auto& part : uploads[0].parts) names.push_back(part.name);
  EXPECT_EQ(names, (std::vector<std::string>{"storage_id", "c", "m", "uk", "pict1", "category1_1", "tagstr1",
                                             "o_pict_mem", "o_pict_pub", "o_pictedit", "o_picttagging",
                                             "o_pictballoon", "al"}));
}

}  // namespace
}  // namespace wharfling::testing
