// The Hatena fotolife driver against its fake site: the shared suite, and what only Hatena does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

DriverCase HatenaCase() {
  DriverCase c;
  c.name = "Hatena";
  c.site = 4;
  c.makeSite = MakeFakeHatena;
  c.signInFailedMessage = "ログインに失敗しました。";
  c.uploadPath = "POST /fotouser/";
  return c;
}

INSTANTIATE_TEST_SUITE_P(Hatena, DriverSuite, ::testing::Values(HatenaCase()), DriverCaseName);

TEST(HatenaDriver, SiteVariants) {
  const struct {
    const char* siteSwitch;
    const char* siteUrl;
    const char* status;
  } cases[] = {
      {"", "", "成功"},
      // An http site URL still gets the secure channel for the login page (here on the TLS port).
      {"", "http://www.hatena.example:443", "成功"},
      // Only a redirect to the edit page is a success.
      {"edit-elsewhere", "", "---失敗---"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.siteSwitch) + c.siteUrl);
    OnePhotoRun hatena(4, MakeFakeHatena, c.siteSwitch, [&](DriverRun& run) {
      if (*c.siteUrl) run.store.values[{"Settings", "Url004"}] = std::string(c.siteUrl);
    });
    EXPECT_EQ(hatena.run.Statuses(), std::vector<std::string>{c.status});
    std::string channels;
    for (const auto& request : hatena.site->Requests()) channels += request.secure ? "s" : "-";
    // Login page, login post; front page, user page, upload; logout.
    EXPECT_EQ(channels, "ss---s");
    EXPECT_EQ(hatena.site->Requests().at(1).http.body,
              "name=alice&password=secret&location=http://f.hatena.example/");
  }
}

}  // namespace
}  // namespace wharfling::testing
