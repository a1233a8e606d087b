// The Olio driver against its fake site: the shared suite, and what only Olio does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

DriverCase OlioCase() {
  DriverCase c;
  c.name = "Olio";
  c.site = 8;
  c.makeSite = MakeFakeOlio;
  c.signInFailedMessage = "ログインに失敗しました。";
  c.uploadPath = "POST /album/photo_upload.html";
  return c;
}

INSTANTIATE_TEST_SUITE_P(Olio, DriverSuite, ::testing::Values(OlioCase()), DriverCaseName);

struct OlioRun : OnePhotoRun {
  explicit OlioRun(const std::string& siteSwitch) : OnePhotoRun(8, MakeFakeOlio, siteSwitch) {}
};

TEST(OlioDriver, AlbumSearches) {
  const struct {
    const char* siteSwitch;
    std::string album;  // where the photo went
  } cases[] = {
      {"", "A200"},
      // A personal album whose image starts more than 70 characters after its link is passed over.
      {"personal-past-gap", "A200"},
      // An album the album's page lists after the offset of the first search takes over.
      {"later-album", "A300"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.siteSwitch);
    OlioRun olio(c.siteSwitch);
    // The site's walk goes into A200, whose page is opened in every case.
    EXPECT_EQ(olio.site->RequestLines(),
              Replaced(olio.site->Walk().Over({"a.jpg"}), "A200&swfup", c.album + "&swfup"));
    EXPECT_EQ(olio.run.Statuses(), std::vector<std::string>{"成功"});
  }
}

TEST(OlioDriver, LoginBodyAndSecureChannelPerRequest) {
  OlioRun olio("");
  const auto requests = olio.site->Requests();
  EXPECT_EQ(requests[1].http.body, "r=/account/index.html&loginName=alice&loginPassword=secret&x=54&y=13");
  std::vector<bool> secure;
  for (const auto& request : requests) secure.push_back(request.secure);
  // Only the front page and the redirect after the login go out plain.
  EXPECT_EQ(secure, (std::vector<bool>{false, true, false, true, true, true, true}));
  const auto uploads = olio.site->Uploads();
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_EQ(uploads[0].Field("web_album_id"), "A200");
  EXPECT_EQ(uploads[0].bytes, std::string(100, 'p'));
}

}  // namespace
}  // namespace wharfling::testing
