// The PicMate driver against its fake site: the shared suite, and what only PicMate does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"
#include "tests/support/seen_requests.h"
#include "ui/controls.h"

namespace wharfling::testing {
namespace {

const std::vector<std::string> kSignIn = {"GET /login/", "GET /util_ajax/token/?1413",
                                          "POST /util_ajax/ajax_check_login/", "POST /login/?command=done",
                                          "GET /mypage/"};

// The sign-in, then per file the upload page, the token request with its number, and the post.
std::vector<std::string> WholeRun(std::initializer_list<int> tokenNumbers) {
  std::vector<std::string> lines = kSignIn;
  for (const int number : tokenNumbers) {
    lines.insert(lines.end(),
                 {"GET /u8f2a/upload/", "GET /util_ajax/token/?" + std::to_string(number), "POST /upload"});
  }
  return lines;
}

DriverCase PicMateCase() {
  DriverCase c;
  c.name = "PicMate";
  c.site = 13;
  c.makeSite = MakeFakePicMate;
  c.wholeRun = WholeRun({1538, 1540});
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
  for (const auto& line : WholeRun({1538})) expected.push_back({line, false, "", ""});
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
  auto twice = WholeRun({1538, 1540, 1542});
  const auto again = WholeRun({1538, 1540, 1542});
  twice.insert(twice.end(), again.begin(), again.end());
  EXPECT_EQ(site->RequestLines(), twice);
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
