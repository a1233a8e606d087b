#include "ui/upload_dialog.h"

#include <gtest/gtest.h>

#include "platform/posix/encoding.h"
#include "sites/site_drivers.h"
#include "tests/support/memory_settings_store.h"
#include "tests/support/recording_transport.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"
#include "ui/controls.h"

namespace wharfling {
namespace {

using posix::Cp932ToUtf8;
using testing::MemorySettingsStore;
using testing::RecordingTransport;
using testing::RecordingView;
using testing::TempDir;

// A dialog over one small photo, with settings, view and web all in memory.
struct DialogFixture {
  TempDir dir;
  std::vector<std::string> paths{dir.WriteFile("photo.jpg", "jpeg bytes")};
  MemorySettingsStore store;
  RecordingView view;
  EndpointTable endpoints = EndpointTable::Defaults();
  posix::PosixTextCodec codec;
  RecordingTransport transport;
  WebClient web{transport, codec};
  std::unique_ptr<UploadDialog> dialog;

  UploadDialog& Start() {
    dialog = std::make_unique<UploadDialog>(paths, view, DialogServices{store, endpoints, codec, web});
    dialog->Initialize();
    return *dialog;
  }
  std::string Caption() const { return Cp932ToUtf8(Button().text); }
  MemoryView::ControlState Button() const { return view.control(control::kDestination); }
  void Type(int id, const std::string& text) {
    view.SetControlText(id, text);
    dialog->OnAccountEdited();
  }
};

TEST(SiteChooser, EntriesMapToDestinations) {
  const struct {
    ChooserOutcome outcome;
    int site;
    const char* caption;
  } cases[] = {
      {{true, 0}, 1, "Parvault"}, {{true, 1}, 3, "Zorg"},       {{false, 4}, 1, "Parvault"},
      {{true, 6}, 8, "Olio"},     {{true, 12}, 14, "Snapfish"}, {{true, 10}, 12, "楽天"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.site);
    DialogFixture f;
    f.store.values = {{{"Mode", "multi"}, 1}, {{"Settings", "Select001"}, 4}};
    f.view.chooserOutcomes.push_back(c.outcome);
    f.Start();
    EXPECT_EQ(f.dialog->settings().siteIndex, c.site);
    EXPECT_EQ(std::get<std::int32_t>(f.store.values[{"Settings", "Select001"}]), c.site) << "saved at once";
    EXPECT_EQ(f.store.writes, std::vector<std::string>{"Settings/Select001"});
    EXPECT_EQ(f.Caption(), c.caption);
  }
}

TEST(SiteChooser, DoubleClickWithoutSelectionKeepsTheStoredDestination) {
  DialogFixture f;
  f.store.values = {{{"Mode", "multi"}, 1}, {{"Settings", "Select001"}, 4}};
  f.view.chooserOutcomes.push_back({true, -1});
  f.Start();
  EXPECT_EQ(f.dialog->settings().siteIndex, 4);
  EXPECT_TRUE(f.store.writes.empty());
}

TEST(SiteChooser, OnlyModeOneOffersIt) {
  for (const int mode : {0, 2, -1}) {
    DialogFixture f;
    f.store.values[{"Mode", "multi"}] = mode;
    f.Start();
    EXPECT_TRUE(f.view.siteChooserEntries.empty()) << mode;
    EXPECT_TRUE(f.store.writes.empty());
  }
}

TEST(SiteChooser, ListsThirteenEntriesWithoutTheInHouseServer) {
  const auto entries = UploadDialog::SiteChooserEntries();
  ASSERT_EQ(entries.size(), 13u);
  EXPECT_EQ(Cp932ToUtf8(entries[0]),
            "Parvault\nインターネットを介して無料でご利用できるお客様専用の安全なプライベートスペース");
  EXPECT_EQ(Cp932ToUtf8(entries[6]),
            "PhotoHighway\n最大２ギガバイトのディスク容量のオンラインアルバム・サービス");
  EXPECT_EQ(Cp932ToUtf8(entries[8]).find('\n'), std::string::npos);
  EXPECT_EQ(Cp932ToUtf8(entries[11]), "オンラインアルバムの新しいカタチ。Lumix Club『Picmate』");
  EXPECT_EQ(Cp932ToUtf8(entries[12]),
            "snapfish\n全世界で7000万人以上のユーザーが楽しむ世界最大級のオンライン写真サイト!");
}

TEST(SiteChooser, ChosenDestinationBringsItsOwnAccount) {
  DialogFixture f;
  f.store.values = {{{"Mode", "multi"}, 1},
                    {{"Settings", "ParvaultD"}, "parvault-user"},
                    {{"Settings", "Id003"}, "zorg-user"},
                    {{"Settings", "Pw003"}, "zorg-pw"}};
  f.view.chooserOutcomes.push_back({true, 1});
  f.Start();
  EXPECT_EQ(f.view.ControlText(control::kId), "zorg-user");
  EXPECT_EQ(f.view.ControlText(control::kPassword), "zorg-pw");
  EXPECT_EQ(f.dialog->settings().account.maxFileSize, 5000000u);
}

TEST(UploadDialogStartUp, ShowsTotalsAccountLabelAndCopy) {
  DialogFixture f;
  f.store.values = {{{"Settings", "ParvaultD"}, "me"}, {{"Settings", "ParvaultW"}, "pw"}};
  f.Start();
  EXPECT_EQ(Cp932ToUtf8(f.view.title()), "ｱｯﾌﾟﾛｰﾀﾞ:選択ﾌｧｲﾙ数[1]:総ﾌｧｲﾙｻｲｽﾞ[10]");
  EXPECT_EQ(f.view.ControlText(control::kId), "me");
  EXPECT_EQ(f.view.ControlText(control::kPassword), "pw");
  EXPECT_TRUE(f.view.IsChecked(control::kCopy));
  EXPECT_EQ(f.dialog->copyOrMove(), 0);
  EXPECT_EQ(f.view.linkTarget(), kMakerAddress);
  EXPECT_EQ(f.view.underlineMode(), 1);
  EXPECT_TRUE(f.dialog->CanStartUpload());
  EXPECT_TRUE(f.store.writes.empty());
}

TEST(UploadDialogEdits, ButtonFollowsTheAccountKeystrokeByKeystroke) {
  DialogFixture f;
  f.store.values[{"Settings", "ParvaultD"}] = Text("me");
  f.Start();
  EXPECT_FALSE(f.Button().visible);
  f.Type(control::kPassword, "p");
  EXPECT_TRUE(f.Button().visible);
  EXPECT_TRUE(f.Button().enabled);
  EXPECT_EQ(f.dialog->settings().account.password, "p");
  f.Type(control::kPassword, "");
  EXPECT_FALSE(f.Button().visible);
  EXPECT_TRUE(f.Button().enabled) << "no account only hides it";
  EXPECT_TRUE(f.store.writes.empty()) << "edits are not saved";
}

TEST(UploadDialogEdits, BlockedButtonShowsButStaysDisabled) {
  DialogFixture f;
  f.paths = {f.dir.path().string()};  // a folder: nothing to upload
  f.Start();
  f.Type(control::kId, "me");
  f.Type(control::kPassword, "pw");
  EXPECT_TRUE(f.Button().visible);
  EXPECT_FALSE(f.Button().enabled);
  EXPECT_FALSE(f.dialog->CanStartUpload());
}

TEST(UploadDialogEdits, LongStoredTargetFolderNoLongerStopsReadingTheControls) {
  DialogFixture f;
  f.store.values[{"Settings", "LastTargetDir"}] = Text(300, 'd');
  f.Start();
  EXPECT_EQ(f.view.ControlText(control::kTargetDir).size(), kTargetDirLimit);
  f.Type(control::kId, "me");
  f.Type(control::kPassword, "pw");
  EXPECT_EQ(f.dialog->settings().account.id, "me");
  EXPECT_EQ(f.dialog->settings().account.password, "pw");
  EXPECT_TRUE(f.dialog->OnOk());
}

TEST(UploadDialogEdits, OkReadsTheControlsAndSavesNothing) {
  DialogFixture f;
  f.Start();
  f.view.SetControlText(control::kId, "typed");
  EXPECT_TRUE(f.dialog->OnOk());
  EXPECT_EQ(f.dialog->settings().account.id, "typed");
  EXPECT_TRUE(f.store.writes.empty());
  EXPECT_TRUE(f.transport.calls().empty()) << "OK never uploads";
}

TEST(UploadRun, ControlsAreDisabledWhileTheDriverRunsAndBackAfter) {
  DialogFixture f;
  f.store.values = {{{"Settings", "ParvaultD"}, "me"}, {{"Settings", "ParvaultW"}, "pw"}};
  std::vector<MemoryView::ControlState> during;
  f.transport.SetHandler([&](const testing::TransportCall& call) {
    for (const int id :
         {control::kDestination, control::kId, control::kPassword, control::kFileList, control::kCancel}) {
      during.push_back(f.view.control(id));
    }
    if (call.request.target == "/logincheck2.asp")
      return RecordingTransport::Response("HTTP/1.1 302 Found", {"Location: menu.asp"});
    return RecordingTransport::Response("HTTP/1.1 200 OK");
  });
  f.Start();
  f.dialog->StartUpload();
  ASSERT_FALSE(during.empty());
  for (const auto& state : during) EXPECT_FALSE(state.enabled);
  EXPECT_FALSE(during[0].visible) << "the destination button is hidden while running";
  EXPECT_TRUE(f.Button().visible);
  EXPECT_TRUE(f.Button().enabled);
  EXPECT_TRUE(f.view.control(control::kCancel).enabled);
  EXPECT_EQ(Cp932ToUtf8(f.view.rows().at(0).at(2)), "成功");
}

TEST(UploadRun, EveryIndexOutsideTwoToFourteenRunsParvault) {
  for (const int site : {-5, 0, 1, 2, 15, 1000}) EXPECT_EQ(DriverFor(site), UploadToParvault) << site;
}

}  // namespace
}  // namespace wharfling
