// The iiiro driver against its fake site: the shared suite, and what only iiiro does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

DriverCase IiiroCase() {
  DriverCase c;
  c.name = "Iiiro";
  c.site = 9;
  c.makeSite = MakeFakeIiiro;
  c.signInFailedMessage = "ログインに失敗しました。";
  c.uploadPath = "/upload/upload.cgi";
  return c;
}

INSTANTIATE_TEST_SUITE_P(Iiiro, DriverSuite, ::testing::Values(IiiroCase()), DriverCaseName);

struct IiiroRun {
  IiiroRun(const std::string& siteSwitch, const std::string& photo, const std::string& siteUrl = "")
      : site(MakeFakeIiiro({})), run(9, *site) {
    site->Switch(siteSwitch);
    if (!siteUrl.empty()) run.store.values[{"Settings", "Url009"}] = siteUrl;
    run.AddPhoto(photo);
    run.Open();
  }
  std::unique_ptr<RouteSite> site;
  DriverRun run;
};

TEST(IiiroDriver, SiteVariants) {
  const struct {
    const char* siteSwitch;
    const char* photo;
    const char* siteUrl;
    const char* sessionId;  // as the post and the queries carry it
    const char* nameOnTheWire;
    const char* status;
  } cases[] = {
      // Without the apostrophe the sign-in passes with an empty session id, which the site refuses.
      {"sid-unterminated", "a.jpg", "", "", "a.jpg", "---失敗---"},
      // The file name goes into the progress query as it is; only its blank is escaped on the wire.
      {"", "my photo.jpg", "", "SID1", "my%20photo.jpg", "成功"},
      // An http site URL still goes over the secure channel (here to the site's https port).
      {"", "a.jpg", "http://www.iiiro.example:443", "SID1", "a.jpg", "成功"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.photo) + " " + c.siteSwitch + " " + c.siteUrl);
    IiiroRun iiiro(c.siteSwitch, c.photo, c.siteUrl);
    iiiro.run.Press();
    EXPECT_EQ(iiiro.site->RequestLines(), Replaced(iiiro.site->Walk().Over({c.nameOnTheWire}), "sid=SID1",
                                                   std::string("sid=") + c.sessionId));
    EXPECT_EQ(iiiro.run.Statuses(), std::vector<std::string>{c.status});
  }
}

TEST(IiiroDriver, UnansweredPostFailsThoughTheAlbumPageClaimsTheImage) {
  IiiroRun iiiro("always-added", "a.jpg");
  iiiro.site->InjectFault("/upload/upload.cgi", SiteFault::kDropConnection);
  iiiro.run.Press();
  EXPECT_EQ(iiiro.site->RequestLines(), iiiro.site->Walk().Over({"a.jpg"}));
  EXPECT_EQ(iiiro.run.Statuses(), std::vector<std::string>{"---失敗---"});
}

TEST(IiiroDriver, FormValuesRefererAndSecureChannel) {
  IiiroRun iiiro("", "my photo.jpg");
  iiiro.run.Press();
  const auto requests = iiiro.site->Requests();
  ASSERT_EQ(requests.size(), 9u);
  EXPECT_EQ(requests[1].http.body, "textfield=alice&textfield2=secret");
  for (std::size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(requests[i].secure);
    const bool photoRequest = i >= 4 && i <= 7;
    EXPECT_EQ(requests[i].http.Header("Referer"),
              photoRequest ? "https://www.iiiro.example/album/photo.php?AID=00000001" : "");
  }
  const auto uploads = iiiro.site->Uploads();
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_EQ(uploads[0].Field("aid"), "00000001");
  EXPECT_EQ(uploads[0].Field("upload_image_name"), "my photo");
}

}  // namespace
}  // namespace wharfling::testing
