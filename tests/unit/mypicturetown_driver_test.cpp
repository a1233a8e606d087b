// The myPicturetown driver against its fake site: the shared suite, and what only myPicturetown does.

#include "tests/support/driver_suite.h"
#include "tests/support/fake_sites.h"
#include "tests/support/seen_requests.h"

namespace wharfling::testing {
namespace {

const std::string kApp = "/P2PwebCmdController/pictureBank/";

DriverCase MyPicturetownCase() {
  DriverCase c;
  c.name = "MyPicturetown";
  c.site = 10;
  c.makeSite = MakeFakeMyPicturetown;
  c.testsSignIn = false;
  c.uploadPath = "POST " + kApp + "upload.html";
  return c;
}

INSTANTIATE_TEST_SUITE_P(MyPicturetown, DriverSuite, ::testing::Values(MyPicturetownCase()), DriverCaseName);

TEST(MyPicturetownDriver, OnlyTheLoginIsSecureAndTheBodiesAreFixed) {
  auto site = MakeFakeMyPicturetown({});
  DriverRun run(10, *site);
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  std::vector<SeenRequest> expected;
  for (const auto& line : site->Walk().Over({"a.jpg"})) expected.push_back({line, false, "", ""});
  expected[1] = {expected[1].line, true, "",
                 "loginId=alice&password=secret&login-button.x=62&login-button.y=16&login-button=Login"};
  expected[4].body =
      "downloadForm_hf_0=&selectedItems=&currentSelectedItem=&activeArea=undefined&dragAction=&dropListId=&"
      "dragListId=&pluginDetect=not-installed&bodyScroll=0&viewScroll=0&showModalUpload=1";
  expected.back().body = "multipart";
  EXPECT_EQ(SeenRequests(*site), expected);
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"成功"});
}

TEST(MyPicturetownDriver, DialogWithoutUploadButtonKeepsTheDialogValue) {
  auto site = MakeFakeMyPicturetown({});
  site->Switch("no-upload-button");
  DriverRun run(10, *site);
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  // The scripted request goes out with the dialog's value; without a redirect the photo page is
  // fetched again, and the photo goes to the dialog's value, which the site does not know.
  const std::string dialog = "wicket:interface=:1:uploadDialog::IBehaviorListener:0:";
  auto walked = site->Walk().start;
  walked.resize(6);  // up to the upload dialog
  walked.insert(walked.end(), {"GET " + kApp + "myPhotos.html?" + dialog + "&random=0.7958794366440912",
                               "GET " + kApp + "myPhotos.html", "POST " + kApp + "?" + dialog});
  EXPECT_EQ(site->RequestLines(), walked);
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"---失敗---"});
}

}  // namespace
}  // namespace wharfling::testing
