// The PicMate driver against its fake site: the shared suite, and what only PicMate does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"
#include "tests/support/seen_requests.h"
#include "ui/controls.h"

namespace wharfling::testing {
namespace {

DriverCase PicMateCase() {
  DriverCase c;
  c.name = "PicMate";
  c.site = 13;
  c.makeSite = MakeFakePicMate;
  c.testsSignIn = false;
  c.uploadPath = "POST /upload";
  return c;
}

INSTANTIATE_TEST_SUITE_P(PicMate, DriverSuite, ::testing::Values(PicMateCase()), DriverCaseName);

TEST(PicMateDriver, TokensGoOutWholeAndTheSignInIsSecure) {
  auto site = MakeFakePicMate({});
  DriverRun run(13, *site);
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  std::vector<SeenRequest> expected;
  for (const auto& line : site->Walk().Over({"a.jpg"})) expected.push_back({line, false, "", ""});
  for (int i = 0; i < 4; ++i) expected[i].secure = true;
  expected[2].body = "email=alice&passwd=secret&passwd_limit=20&ref=/login/";
  expected[3].body = "email=alice&passwd=secret&passwd_limit=20&onetime_token=L7f\r\n3a\r\n&ref=/login/";
  expected[7].body = "multipart";
  EXPECT_EQ(SeenRequests(*site), expected);
  ASSERT_EQ(site->Uploads().size(), 1u);
  EXPECT_EQ(site->Uploads()[0].Field("onetime_token"), "ut1538\r\n");
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"成功"});
  EXPECT_EQ(run.view.ControlText(control::kPagePane), "<p>OK</p>") << "the upload's answer is kept too";
}

TEST(PicMateDriver, EveryRunCountsItsTokensFromTheStart) {
  auto site = MakeFakePicMate({});
  DriverRun run(13, *site);
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) run.AddPhoto(name);
  run.Open();
  run.Press();
  run.Press();
  // The second run's token requests carry the same numbers as the first's.
  const auto once = site->Walk().Over({"a.jpg", "b.jpg", "c.jpg"});
  EXPECT_EQ(site->RequestLines(), Joined({once, once}));
  EXPECT_EQ(run.Statuses(), (std::vector<std::string>{"成功", "成功", "成功"}));
}

TEST(PicMateDriver, ErrorAnywhereInTheAnswerFailsThePhoto) {
  auto site = MakeFakePicMate({});
  site->Switch("refuse");
  DriverRun run(13, *site);
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  EXPECT_EQ(site->Uploads().size(), 1u);
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"---失敗---"});
}

}  // namespace
}  // namespace wharfling::testing
