// The desktop dialog on the offscreen platform: the window after start-up, its tab order,
// the destination button while typing, the Enter key, runs against the in-house server from the
// run's own thread, and Cancel between files and during an exchange that is stuck.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include "platform/posix/curl_transport.h"
#include "platform/posix/encoding.h"
#include "platform/posix/posix_photo_preparer.h"
#include "platform/qt/desktop_dialog.h"
#include "platform/qt/hyperlink_label.h"
#include "tests/qt/qt_wait.h"
#include "tests/support/fake_parvault.h"
#include "tests/support/memory_settings_store.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/temp_dir.h"
#include "ui/controls.h"

namespace wharfling::testing {
namespace {

using qt::DesktopDialog;
using qt::QtDialogView;

// A desktop dialog over photos for destination 2, whose modal parts record instead of waiting.
class DesktopFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    store.values[{"Settings", "Select001"}] = 2;
    endpoints.Override("inhouse.server", "127.0.0.1:" + std::to_string(server.port()));
  }
  void Account(const std::string& id, const std::string& password) {
    store.values[{"Settings", "Id002"}] = Text(id);
    store.values[{"Settings", "Pw002"}] = Text(password);
  }
  DesktopDialog& Open() {
    paths = {dir.WriteFile("b.jpg", std::string(2000, 'b')), dir.WriteFile("a.jpg", std::string(1000, 'a'))};
    QtDialogView::Modals modals{
        [this](const QString& text) {
          messages.push_back(text);
          messageThreads.push_back(QThread::currentThread());
        },
        [](const std::vector<Text>&) { return ChooserOutcome{}; },
        [](const std::vector<Text>&) { return ChooserOutcome{}; },
    };
    dialog = std::make_unique<DesktopDialog>(paths, DialogServices{store, endpoints, codec, *client}, modals);
    dialog->Initialize();
    dialog->window().show();
    return *dialog;
  }
  qt::UploadWindow& window() { return dialog->window(); }
  QStringList Column(int column) {
    QStringList cells;
    for (int row = 0; row < window().fileList()->topLevelItemCount(); ++row) {
      cells << window().fileList()->topLevelItem(row)->text(column);
    }
    return cells;
  }
  bool Shown(int id) { return window().control(id)->isVisibleTo(&window()); }

  ParvaultTestServer server;
  TempDir dir;
  std::vector<std::string> paths;
  MemorySettingsStore store;
  EndpointTable endpoints = EndpointTable::Defaults();
  posix::PosixTextCodec codec;
  posix::CurlTransport transport;
  WebClient web{transport, codec};
  WebClient* client = &web;  // the dialog's, the in-house server's unless a fixture routes elsewhere
  std::unique_ptr<DesktopDialog> dialog;
  QStringList messages;
  std::vector<QThread*> messageThreads;
};

TEST_F(DesktopFixture, StartUpShowsTheScreenedFilesAndTheAccount) {
  Account("alice", "secret");
  Open();
  EXPECT_EQ(window().windowTitle(), QStringLiteral("ｱｯﾌﾟﾛｰﾀﾞ:選択ﾌｧｲﾙ数[2]:総ﾌｧｲﾙｻｲｽﾞ[3,000]"));
  QTreeWidgetItem* header = window().fileList()->headerItem();
  EXPECT_EQ(QStringList({header->text(0), header->text(1), header->text(2)}),
            QStringList({QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("ｻｲｽﾞ"), QStringLiteral("ｽﾃｰﾀｽ")}));
  EXPECT_EQ(window().fileList()->columnWidth(1), 70);
  EXPECT_EQ(window().fileList()->columnWidth(2), 120);
  EXPECT_EQ(Column(0), QStringList({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
  EXPECT_EQ(Column(1), QStringList({QStringLiteral("1000"), QStringLiteral("2000")}));
  EXPECT_EQ(Column(2), QStringList({QStringLiteral("--"), QStringLiteral("--")}));
  EXPECT_EQ(window().destinationButton()->text(), QStringLiteral("社内Parvault"));
  EXPECT_EQ(window().idEdit()->text(), QStringLiteral("alice"));
  EXPECT_EQ(window().passwordEdit()->text(), QStringLiteral("secret"));
  EXPECT_EQ(window().passwordEdit()->echoMode(), QLineEdit::Password);
  EXPECT_EQ(window().progress()->maximum(), 2);
  EXPECT_EQ(window().makerLabel()->linkTarget(), QStringLiteral("http://www.orsolan.example/"));
  EXPECT_TRUE(window().makerLabel()->underlined());
  EXPECT_TRUE(messages.isEmpty());
  for (const int id : {201, 2, 206, 1000, 1017, 1018, 208}) EXPECT_TRUE(Shown(id)) << id;
  for (const int id : {202, 203, 204, 205, 1, 1055, 1010, 1006}) EXPECT_FALSE(Shown(id)) << id;
  EXPECT_TRUE(qobject_cast<QAbstractButton*>(window().control(control::kCopy))->isChecked());
}

TEST_F(DesktopFixture, TabOrderFollowsTheTemplate) {
  Account("alice", "secret");
  Open();
  QStringList order;
  QWidget* widget = window().fileList();
  do {
    if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(&window()) &&
        !widget->objectName().isEmpty()) {
      order << widget->objectName();
    }
    widget = widget->nextInFocusChain();
  } while (widget != window().fileList());
  // The photo options' strip comes after the template's controls.
  EXPECT_EQ(order, QStringList({"201", "2", "1000", "1017", "1018", "fit", "nolocation"}));
}

TEST_F(DesktopFixture, TypingTheAccountShowsAndHidesTheButton) {
  Open();
  EXPECT_EQ(messages, QStringList({QStringLiteral("アカウントを設定してください。")}));
  EXPECT_FALSE(Shown(control::kDestination));
  QTest::keyClicks(window().idEdit(), QStringLiteral("alice"));
  EXPECT_FALSE(Shown(control::kDestination));
  QTest::keyClicks(window().passwordEdit(), QStringLiteral("s"));
  EXPECT_TRUE(Shown(control::kDestination));
  QTest::keyClick(window().passwordEdit(), Qt::Key_Backspace);
  EXPECT_FALSE(Shown(control::kDestination));
}

TEST_F(DesktopFixture, EnterInTheIdEditClosesWithoutUploading) {
  Account("alice", "secret");
  Open();
  QTest::keyClick(window().idEdit(), Qt::Key_Return);
  EXPECT_FALSE(window().isVisible());
  EXPECT_EQ(window().result(), QDialog::Accepted);
  EXPECT_FALSE(dialog->running());
  EXPECT_EQ(Column(2), QStringList({QStringLiteral("--"), QStringLiteral("--")}));
}

TEST_F(DesktopFixture, RunUploadsFromItsOwnThreadWhileTheWindowKeepsWorking) {
  Account("alice", "secret");
  Open();
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
  ticker.start(1);
  window().destinationButton()->click();
  EXPECT_TRUE(dialog->running()) << "the click returns while the run goes on";
  ASSERT_TRUE(WaitUntil([this] { return !dialog->running(); }));
  EXPECT_GT(ticks, 0) << "the UI thread kept serving events during the run";
  EXPECT_EQ(Column(2), QStringList({QStringLiteral("成功"), QStringLiteral("成功")}));
  EXPECT_EQ(window().progress()->value(), 2);
  EXPECT_TRUE(std::filesystem::exists(server.folderOf("alice") / "a.jpg"));
  EXPECT_TRUE(std::filesystem::exists(server.folderOf("alice") / "b.jpg"));
  EXPECT_TRUE(window().destinationButton()->isEnabled());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(DesktopFixture, AMessageOfTheRunIsShownOnTheUiThread) {
  Account("alice", "wrong");
  Open();
  window().destinationButton()->click();
  ASSERT_TRUE(WaitUntil([this] { return !dialog->running(); }));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("ログインに失敗しました。")))
      << messages[0].toStdString();
  EXPECT_EQ(messageThreads[0], QThread::currentThread());
}

TEST_F(DesktopFixture, DuringARunNoInputReachesTheWindowAndClosingWaits) {
  Account("alice", "secret");
  Open();
  window().SetRunning(true);
  QTest::keyClicks(window().idEdit(), QStringLiteral("x"));
  EXPECT_EQ(window().idEdit()->text(), QStringLiteral("alice"));
  window().close();
  QTest::keyClick(window().idEdit(), Qt::Key_Escape);
  EXPECT_TRUE(window().isVisible());
  window().SetRunning(false);
  EXPECT_FALSE(window().isVisible()) << "the close asked for during the run happens at its end";
}

// Cancel pressed twice, or the window closed, as the first file's status arrives: the run stops
// after that file, signs out and saves; only closing also closes the window, at the run's end.
TEST_F(DesktopFixture, CancelDuringARunStopsItAfterTheFileInFlight) {
  for (const bool byClosing : {false, true}) {
    SCOPED_TRACE(byClosing ? "closing the window" : "pressing Cancel");
    Account("alice", "secret");
    Open();
    auto* cancel = qobject_cast<QPushButton*>(window().control(control::kCancel));
    QSignalSpy requests(&window(), &qt::UploadWindow::cancelRequested);
    QObject::connect(window().fileList(), &QTreeWidget::itemChanged, &window(),
                     [&](QTreeWidgetItem*, int column) {
                       if (column != 2 || !dialog->running()) return;
                       EXPECT_TRUE(cancel->isEnabled()) << "Cancel stays usable during the run";
                       if (byClosing) {
                         window().close();
                       } else {
                         QTest::mouseClick(cancel, Qt::LeftButton);
                       }
                       QTest::mouseClick(cancel, Qt::LeftButton);  // a second press does nothing more
                     });
    window().destinationButton()->click();
    ASSERT_TRUE(WaitUntil([this] { return !dialog->running(); }));
    EXPECT_EQ(requests.count(), 1);
    // b.jpg was dropped first, so it went first; the rows are in name order.
    EXPECT_EQ(Column(2), QStringList({QStringLiteral("--"), QStringLiteral("成功")}));
    EXPECT_EQ(window().progress()->value(), 1);
    EXPECT_TRUE(server.WaitForLog("logout2.asp", byClosing ? 2 : 1)) << "the run signed out";
    EXPECT_EQ(store.writes.size(), byClosing ? 6u : 3u) << "and saved";
    EXPECT_EQ(window().isVisible(), !byClosing);
    EXPECT_TRUE(cancel->isEnabled());
    dialog.reset();
  }
}

// A site that answers the first photo by a drip (a byte every half second, which the stall rule
// would end after 30 s) or not at all for a minute.
class StuckUploadFixture : public DesktopFixture {
 protected:
  StuckUploadFixture() { client = &siteWeb; }
  void SetUp() override {
    DesktopFixture::SetUp();
    endpoints.Override("inhouse.server", "parvault.intranet.example:8780");
  }
  // The run's thread uses the site's client: it must end before that client goes.
  void TearDown() override { dialog.reset(); }

  FakeParvault site{"parvault.intranet.example:8780", "/ParvaultAsp2"};
  posix::CurlTransport siteTransport{site.TransportOptions()};
  WebClient siteWeb{siteTransport, codec};
};

// Cancel, or closing the window, while the first photo's exchange is stuck ends that exchange at
// once: the photo fails, the other keeps "--", the run signs out and saves, and a closed window
// closes as the run ends.
TEST_F(StuckUploadFixture, CancelInterruptsTheExchangeInFlight) {
  const struct {
    const char* name;
    bool drip;
    bool byClosing;
  } cases[] = {{"reply drips, Cancel", true, false},
               {"reply drips, window closed", true, true},
               {"no reply yet, Cancel", false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    site.ScriptUploads([drip = c.drip](const FakeParvault::Upload&) {
      FakeParvault::Answer answer;
      if (drip) answer.kind = FakeParvault::Answer::kDrip;
      return answer;
    });
    if (!c.drip) site.InjectFault("/InsertFile.asp", SiteFault::kStuckReply);
    const std::size_t uploadsBefore = site.Uploads().size();
    Account("alice", "secret");
    Open();
    store.writes.clear();
    window().destinationButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return site.Uploads().size() > uploadsBefore; }));
    if (c.byClosing) {
      window().close();
      EXPECT_TRUE(window().isVisible()) << "the window waits for the run";
    } else {
      QTest::mouseClick(qobject_cast<QPushButton*>(window().control(control::kCancel)), Qt::LeftButton);
    }
    // Well within the stall rule's 30 s, which would end the drip without the cancel.
    ASSERT_TRUE(WaitUntil([this] { return !dialog->running(); }, 10'000)) << "the run goes on";
    EXPECT_EQ(site.Uploads().size(), uploadsBefore + 1) << "nothing sent after the cancel";
    // b.jpg was dropped first, so it went first; the rows are in name order.
    EXPECT_EQ(Column(2), QStringList({QStringLiteral("--"), QStringLiteral("---失敗---")}));
    EXPECT_EQ(site.RequestLines().back(), "GET /ParvaultAsp2/logout2.asp?user=alice&pw=secret");
    EXPECT_EQ(store.writes,
              std::vector<std::string>({"Settings/Select001", "Settings/Id002", "Settings/Pw002"}))
        << "the run saved the account";
    EXPECT_EQ(window().isVisible(), !c.byClosing);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
    dialog.reset();
  }
}

// The photo options' boxes show the profile's values and write them when toggled; on a web client
// without a photo preparer they are off and cannot be changed.
TEST_F(DesktopFixture, PhotoOptionBoxesReadAndWriteTheProfile) {
  posix::PosixPhotoPreparer preparer;
  const struct {
    bool preparer;
    int fit;
    bool fitShown, enabled;
  } cases[] = {{true, 1, true, true}, {true, 0, false, true}, {false, 1, false, false}};
  for (const auto& c : cases) {
    web.SetPhotoPreparer(c.preparer ? &preparer : nullptr);
    store.values[{"Mode", "fit"}] = c.fit;
    store.values.erase({"Mode", "nolocation"});
    Open();
    EXPECT_EQ(window().fitBox()->isChecked(), c.fitShown);
    EXPECT_FALSE(window().noLocationBox()->isChecked());
    EXPECT_EQ(window().noLocationBox()->isEnabled(), c.enabled);
    if (!c.enabled) continue;
    QTest::mouseClick(window().noLocationBox(), Qt::LeftButton);
    EXPECT_EQ(store.values[(MemorySettingsStore::Key{"Mode", "nolocation"})], MemorySettingsStore::Value(1));
    EXPECT_EQ(store.values[(MemorySettingsStore::Key{"Mode", "fit"})], MemorySettingsStore::Value(c.fit));
    EXPECT_EQ(dialog->dialog().settings().noLocation, 1);
    window().close();
  }
}

}  // namespace
}  // namespace wharfling::testing
