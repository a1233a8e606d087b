// The site chooser and the album chooser: only a double-click records a choice; the icon list's
// rows follow its layout rules.

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "platform/qt/album_chooser.h"
#include "platform/qt/icon_list_box.h"
#include "platform/qt/site_chooser.h"
#include "ui/upload_dialog.h"

namespace wharfling::testing {
namespace {

using qt::AlbumChooser;
using qt::SiteChooser;

void DoubleClickRow(QListWidget& list, int row) {
  list.scrollToItem(list.item(row));
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(row)).center());
}

void ClickRow(QListWidget& list, int row) {
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(row)).center());
}

int OpaquePixels(const QPixmap& icon) {
  const QImage image = icon.toImage();
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y).alpha() > 0 ? 1 : 0;
  }
  return count;
}

bool SameOutcome(ChooserOutcome a, ChooserOutcome b) {
  return a.doubleClicked == b.doubleClicked && a.selection == b.selection;
}

TEST(SiteChooser, ListsTheThirteenEntriesWithTheirIcons) {
  SiteChooser chooser(UploadDialog::SiteChooserEntries());
  chooser.show();
  qt::IconListBox& list = *chooser.list();
  ASSERT_EQ(list.count(), 13);
  EXPECT_EQ(list.objectName(), QStringLiteral("209"));
  EXPECT_EQ(list.item(0)->text(),
            QStringLiteral(
                "Parvault\nインターネットを介して無料でご利用できるお客様専用の安全なプライベートスペース"));
  EXPECT_EQ(list.item(6)->text(),
            QStringLiteral("PhotoHighway\n最大２ギガバイトのディスク容量のオンラインアルバム・サービス"));
  EXPECT_FALSE(list.item(8)->text().contains('\n'));
  EXPECT_EQ(list.images().size(), 13);
  EXPECT_EQ(list.iconSize(), QSize(32, 32));
  for (int row = 0; row < list.count(); ++row) {
    EXPECT_EQ(list.RowAt(row).imageIndex, row);
    EXPECT_GE(list.RowHeight(row), 32 + 4 + 4) << "at least the icon's height, plus the padding";
    EXPECT_GT(OpaquePixels(list.images()[row]), 32 * 32 / 4) << "icon " << row << " is drawn";
  }
  EXPECT_EQ(chooser.cancelButton()->text(), QStringLiteral("キャンセル"));
}

TEST(SiteChooser, OnlyADoubleClickChooses) {
  const struct {
    const char* what;
    std::function<void(SiteChooser&)> act;
    ChooserOutcome expected;
  } cases[] = {
      {"double-click on PhotoHighway", [](SiteChooser& c) { DoubleClickRow(*c.list(), 6); }, {true, 6}},
      {"click on Zorg, then OK",
       [](SiteChooser& c) {
         ClickRow(*c.list(), 1);
         c.okButton()->click();
       },
       {false, -1}},
      {"the cancel button", [](SiteChooser& c) { c.cancelButton()->click(); }, {false, -1}},
      {"double-click on a disabled row",
       [](SiteChooser& c) {
         c.list()->SetRowDisabled(3, true);
         DoubleClickRow(*c.list(), 3);
         c.cancelButton()->click();
       },
       {false, -1}},
  };
  for (const auto& test : cases) {
    SiteChooser chooser(UploadDialog::SiteChooserEntries());
    chooser.show();
    test.act(chooser);
    EXPECT_TRUE(SameOutcome(chooser.outcome(), test.expected)) << test.what;
    EXPECT_FALSE(chooser.isVisible()) << test.what;
  }
}

TEST(AlbumChooser, ReturnsTheDoubleClickedRowAndItsText) {
  AlbumChooser chooser({"holiday", "garden", "garden"});
  chooser.show();
  EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Dialog"));
  DoubleClickRow(*chooser.list(), 2);
  EXPECT_TRUE(SameOutcome(chooser.outcome(), {true, 2}));
  EXPECT_FALSE(chooser.isVisible());
}

TEST(AlbumChooser, ClosingWithoutADoubleClickChoosesNothing) {
  AlbumChooser chooser({"holiday"});
  chooser.show();
  chooser.okButton()->click();
  EXPECT_TRUE(SameOutcome(chooser.outcome(), {false, -1}));
  AlbumChooser empty({});
  empty.show();
  QTest::mouseDClick(empty.list()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(empty.isVisible()) << "a double-click with nothing selected changes nothing";
  empty.cancelButton()->click();
  EXPECT_TRUE(SameOutcome(empty.outcome(), {false, -1}));
}

}  // namespace
}  // namespace wharfling::testing
