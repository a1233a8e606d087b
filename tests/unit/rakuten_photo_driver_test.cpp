// The Rakuten photo driver against its fake site: the shared suite, and what only Rakuten does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"
#include "tests/support/seen_requests.h"

namespace wharfling::testing {
namespace {

DriverCase RakutenCase() {
  DriverCase c;
  c.name = "RakutenPhoto";
  c.site = 12;
  c.makeSite = MakeFakeRakuten;
  c.testsSignIn = false;
  c.uploadPath = "POST /";
  return c;
}

INSTANTIATE_TEST_SUITE_P(RakutenPhoto, DriverSuite, ::testing::Values(RakutenCase()), DriverCaseName);

TEST(RakutenPhotoDriver, EveryRequestIsSecureAndCarriesItsOwnReferer) {
  auto site = MakeFakeRakuten({"alice", "50%off"});
  DriverRun run(12, *site);
  run.SetAccount("alice", "50%off");
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  const std::string upiform = "https://photo.rakuten.example/?menu=upiform";
  std::vector<SeenRequest> expected;
  for (const auto& line : site->Walk().Over({"a.jpg"})) expected.push_back({line, true, "", ""});
  // The login page's %3F is decoded in its own request line but not in the Referer line; the
  // typed % goes out escaped.
  expected[1].referer =
      "https://account.rakuten.example/rms/nid/vc?__event=login&service_id=59&return_url=index.phtml%3F";
  expected[1].body = "service_id=59&return_url=index.phtml%3F&u=alice&p=50%25off";
  expected[6] = {"POST /", true, upiform, "multipart"};
  expected[7].referer = upiform;
  EXPECT_EQ(SeenRequests(*site), expected);
  ASSERT_EQ(site->Uploads().size(), 1u);
  EXPECT_EQ(site->Uploads()[0].Field("csrf_hash"), "h0t");
  EXPECT_EQ(site->Uploads()[0].Field("folder_id[]"), "f100") << "the first option of the form";
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"成功"});
}

TEST(RakutenPhotoDriver, ResultPagesThatAreNotThePhotosOwn) {
  const struct {
    const char* name;
    const char* siteSwitch;
    bool dropSecond;
    std::vector<std::string> afterPreparation;
    std::vector<std::string> statuses;
  } cases[] = {
      // The token is read once; without it the uploads go out with an empty one and are refused.
      {"no token",
       "no-csrf",
       false,
       {"POST /", "GET /?menu=upierror", "POST /", "GET /?menu=upierror"},
       {"---失敗---", "---失敗---"}},
      // Without a redirect the form page is fetched again: the kept target.
      {"no redirect",
       "no-redirect",
       false,
       {"POST /", "GET /?menu=upiform&step=2", "POST /", "GET /?menu=upiform&step=2"},
       {"---失敗---", "---失敗---"}},
      // A dropped post fetches the previous photo's result again, which is not this photo's success.
      {"dropped second",
       "",
       true,
       {"POST /", "GET /?menu=upidone&n=1", "POST /", "GET /?menu=upidone&n=1"},
       {"成功", "---失敗---"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto site = MakeFakeRakuten({});
    site->Switch(c.siteSwitch);
    DriverRun run(12, *site);
    run.AddPhoto("a.jpg");
    run.AddPhoto("b.jpg");
    run.Open();
    if (c.dropSecond) {
      // Faults on one path are used in the order given: the first post passes.
      site->InjectFault("POST /", SiteFault::kNone);
      site->InjectFault("POST /", SiteFault::kDropConnection);
    }
    run.Press();
    EXPECT_EQ(site->RequestLines(), Joined({site->Walk().start, c.afterPreparation}));
    EXPECT_EQ(run.Statuses(), c.statuses);
  }
}

}  // namespace
}  // namespace wharfling::testing
