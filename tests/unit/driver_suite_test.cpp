// What every site driver must do, whatever its site: the cases come from each driver's test file.

#include "tests/support/driver_suite.h"

#include <filesystem>

#include "session/site_catalogue.h"

namespace wharfling::testing {

void DriverSuite::Open(const std::vector<std::string>& photos, const SiteAccount& siteAccount,
                       const SiteAccount& dialogAccount) {
  site = GetParam().makeSite({posix::Utf8ToCp932(siteAccount.id), posix::Utf8ToCp932(siteAccount.password)});
  run = std::make_unique<DriverRun>(GetParam().site, *site);
  run->SetAccount(dialogAccount.id, dialogAccount.password);
  std::size_t size = 10;
  for (const auto& photo : photos) run->AddPhoto(photo, size += 10);
  run->Open();
}

void DriverSuite::Press() {
  if (GetParam().beforeRun) GetParam().beforeRun(*run);
  run->Press();
}

std::vector<std::string> DriverSuite::SavedWrites() const {
  const SiteInfo& row = CatalogueRow(GetParam().site);
  return {"Settings/Select001", "Settings/" + std::string(row.idValue),
          "Settings/" + std::string(row.passwordValue)};
}

std::string DriverCaseName(const ::testing::TestParamInfo<DriverCase>& info) { return info.param.name; }

namespace {

TEST_P(DriverSuite, WholeRunWalksTheSiteUploadsEveryFileAndSaves) {
  Open({"a.jpg", "b.jpg"});
  Press();
  EXPECT_EQ(site->RequestLines(), site->Walk().Over({"a.jpg", "b.jpg"}));
  EXPECT_EQ(run->Statuses(), (std::vector<std::string>{"成功", "成功"}));
  EXPECT_EQ(run->view.progressPosition(), 2);
  EXPECT_TRUE(run->Messages().empty());
  EXPECT_EQ(run->store.writes, SavedWrites());
  EXPECT_TRUE(run->ControlsEnabled());
}

TEST_P(DriverSuite, RefusedSignIn) {
  Open({"a.jpg", "b.jpg"}, {}, {"alice", "wrong"});
  Press();
  const auto& c = GetParam();
  EXPECT_EQ(run->Messages(), c.signInFailedMessage.empty() ? std::vector<std::string>{}
                                                           : std::vector<std::string>{c.signInFailedMessage});
  EXPECT_TRUE(run->ControlsEnabled());
  if (c.testsSignIn) {
    EXPECT_EQ(run->Statuses(), (std::vector<std::string>{"--", "--"}));
    EXPECT_EQ(run->view.progressPosition(), 0);
    EXPECT_TRUE(run->store.writes.empty()) << "a refused sign-in saves nothing";
  } else {
    EXPECT_EQ(run->Statuses(), (std::vector<std::string>{"---失敗---", "---失敗---"}));
    EXPECT_EQ(run->store.writes, SavedWrites()) << "without a sign-in test the run ends as usual";
  }
}

TEST_P(DriverSuite, DroppedUploadFailsItsOwnRowOnly) {
  // Two files of one name from two folders: each status must reach its own row.
  Open({"one/a.jpg", "two/a.jpg"});
  site->InjectFault(GetParam().uploadPath, SiteFault::kDropConnection);
  Press();
  EXPECT_EQ(run->Statuses(), (std::vector<std::string>{"---失敗---", "成功"}));
  EXPECT_EQ(run->view.progressPosition(), 2);
}

TEST_P(DriverSuite, SuccessPageForAPhotoCutOffFails) {
  // The second photo is answered with the page that took the first, once 64 KiB of it are in, and
  // the connection is reset: the page is right, but the photo never arrived whole. It is larger than
  // the socket buffers on both ends can hold, so the send itself breaks off.
  constexpr std::int32_t kLarge = 12 << 20;
  site = GetParam().makeSite({});
  run = std::make_unique<DriverRun>(GetParam().site, *site);
  run->store.values[{"Settings", std::string(CatalogueRow(GetParam().site).maxSizeValue)}] = kLarge;
  if (!GetParam().claimsEveryPhoto.empty()) {
    dynamic_cast<RouteSite&>(*site).Switch(GetParam().claimsEveryPhoto);
  }
  run->AddPhoto("a.jpg", 20);
  run->AddPhoto("b.jpg", kLarge);
  run->Open();
  run->view.onCell = [&](int row, int column, const Text&) {
    if (row == 0 && column == 2) site->InjectFault(GetParam().uploadPath, SiteFault::kAnswerEarlyAndReset);
  };
  Press();
  EXPECT_EQ(run->Statuses(), (std::vector<std::string>{"成功", "---失敗---"}));
  EXPECT_EQ(run->view.progressPosition(), 2);
  EXPECT_TRUE(run->dialog->itemTrouble(0).empty());
  EXPECT_TRUE(run->dialog->itemTrouble(1).starts_with("the request went out incomplete"))
      << run->dialog->itemTrouble(1);
}

TEST_P(DriverSuite, FileUnreadableAtItsTurnFailsItsRowWithTheReason) {
  // Gone since the screening: the row fails, says why, and the next file goes on.
  Open({"a.jpg", "b.jpg"});
  std::filesystem::remove(run->paths.at(0));
  Press();
  EXPECT_EQ(run->Statuses(), (std::vector<std::string>{"---失敗---", "成功"}));
  EXPECT_EQ(run->dialog->itemTrouble(0), "the photo cannot be read");
  EXPECT_TRUE(run->dialog->itemTrouble(1).empty()) << run->dialog->itemTrouble(1);
  EXPECT_EQ(run->view.progressPosition(), 2);
}

TEST_P(DriverSuite, CredentialsArriveAsTyped) {
  const SiteAccount account{"a b&c=d+e%f ソ表", "p&w=1%;# +能"};
  Open({"a.jpg"}, account, account);
  Press();
  EXPECT_EQ(run->Statuses(), std::vector<std::string>{"成功"}) << "the site read the right ID and password";
  EXPECT_EQ(run->Saved(false), account.id);
  EXPECT_EQ(run->Saved(true), account.password);
}

TEST_P(DriverSuite, CancelStopsAfterTheFileInFlightAndEndsTheRunAsUsual) {
  Open({"a.jpg", "b.jpg", "c.jpg"});
  run->view.onCell = [&](int, int column, const Text&) {
    if (column == 2) run->dialog->RequestCancel();
  };
  Press();
  EXPECT_EQ(run->Statuses(), (std::vector<std::string>{"成功", "--", "--"}));
  EXPECT_EQ(run->view.progressPosition(), 1);
  EXPECT_EQ(run->store.writes, SavedWrites()) << "saved as at the end of a run";
  EXPECT_TRUE(run->ControlsEnabled());
  EXPECT_TRUE(run->dialog->lastRunCancelled());

  run->view.onCell = nullptr;
  Press();
  EXPECT_EQ(run->Statuses(), (std::vector<std::string>{"成功", "成功", "成功"}))
      << "the next run starts afresh";
  EXPECT_FALSE(run->dialog->lastRunCancelled());
}

}  // namespace
}  // namespace wharfling::testing
