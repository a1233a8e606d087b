// The Mixi driver against its fake site: the shared suite, and what only Mixi does (the album
// chooser, the two posts per photo).

#include <optional>

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

DriverCase MixiCase() {
  DriverCase c;
  c.name = "Mixi";
  c.site = 7;
  c.makeSite = MakeFakeMixi;
  c.signInFailedMessage = "ログインに失敗しました。";
  c.uploadPath = "POST /add_album_photo.pl";
  c.beforeRun = [](DriverRun& run) { run.view.chooserOutcomes.push_back({true, 1}); };
  return c;
}

INSTANTIATE_TEST_SUITE_P(Mixi, DriverSuite, ::testing::Values(MixiCase()), DriverCaseName);

TEST(MixiDriver, AlbumChoiceAndPhotoOutcomes) {
  const std::vector<std::string> twoAlbums = {"1001", "1002"};
  const struct {
    const char* siteSwitch;
    std::optional<ChooserOutcome> outcome;
    std::vector<std::string> albums;    // what the chooser lists
    std::optional<std::string> chosen;  // the album the photo went to; none: straight to the sign-out
    const char* status;
    const char* nextUrl;  // in the login body
  } cases[] = {
      // Closed without a double-click, or after a single click and OK: no album.
      {"", std::nullopt, twoAlbums, std::nullopt, "--", "next_url"},
      {"", ChooserOutcome{false, 0}, twoAlbums, std::nullopt, "--", "next_url"},
      {"no-albums", ChooserOutcome{true, -1}, {}, std::nullopt, "--", "next_url"},
      {"long-album-id", ChooserOutcome{true, 0}, twoAlbums, "1001", "成功", "next_url"},
      // Rows are told apart by index: the double-clicked row's own text is the album.
      {"album-twice", ChooserOutcome{true, 1}, {"1001", "1001", "1002"}, "1001", "成功", "next_url"},
      {"album-twice", ChooserOutcome{true, 2}, {"1001", "1001", "1002"}, "1002", "成功", "next_url"},
      {"album-twice", ChooserOutcome{true, 3}, {"1001", "1001", "1002"}, std::nullopt, "--", "next_url"},
      {"no-next-url", ChooserOutcome{true, 0}, twoAlbums, "1001", "成功", ""},
      // The error area fails the photo; its confirmation still goes out.
      {"refuse-photos", ChooserOutcome{true, 1}, twoAlbums, "1002", "---失敗---", "next_url"},
      // A confirmation that never arrived added nothing.
      {"drop-confirmation", ChooserOutcome{true, 1}, twoAlbums, "1002", "---失敗---", "next_url"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.siteSwitch);
    OnePhotoRun mixi(7, MakeFakeMixi, c.siteSwitch, [&](DriverRun& run) {
      if (c.outcome) run.view.chooserOutcomes.push_back(*c.outcome);
    });
    const auto& run = mixi.run;
    const auto& site = mixi.site;
    EXPECT_EQ(run.Statuses(), std::vector<std::string>{c.status});
    // The site's walk goes into album 1002; without an album, from the album list to the sign-out.
    const SiteWalk walk = site->Walk();
    const Lines walked = c.chosen ? Replaced(walk.Over({"a.jpg"}), "id=1002", "id=" + *c.chosen)
                                  : Joined({Lines(walk.start.begin(), walk.start.end() - 1), walk.end});
    EXPECT_EQ(site->RequestLines(), walked);
    ASSERT_EQ(run.view.albumChooserEntries.size(), 1u);
    EXPECT_EQ(run.view.albumChooserEntries[0], c.albums);
    EXPECT_EQ(run.store.writes.size(), 3u) << "a run past the sign-in saves, chosen album or not";
    const auto login = site->Requests().at(1).http;
    EXPECT_EQ(login.body,
              "next_url=" + std::string(c.nextUrl) + "&email=alice&password=secret&sticky=on&x=48&y=11");
    EXPECT_EQ(login.Header("Referer"), "http://mixi.example/");
  }
}

TEST(MixiDriver, APhotoPostWithoutAnAnswerIsNotConfirmed) {
  const auto site = MakeFakeMixi({});
  site->Switch("drop-second-photo");
  DriverRun run(7, *site);
  run.AddPhoto("a.jpg");
  run.AddPhoto("b.jpg");
  run.view.chooserOutcomes.push_back({true, 1});
  run.Open();
  run.Press();
  EXPECT_EQ(run.Statuses(), (std::vector<std::string>{"成功", "---失敗---"}));
  // The second photo's confirmation would carry the first photo's values.
  Lines walked = site->Walk().Over({"a.jpg", "b.jpg"});
  walked.erase(walked.end() - 2);
  EXPECT_EQ(site->RequestLines(), walked);
  EXPECT_EQ(site->UploadCount(), 1u);
}

}  // namespace
}  // namespace wharfling::testing
