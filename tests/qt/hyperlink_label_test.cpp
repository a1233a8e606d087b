// The hyperlink label: its underline modes through hovering, its colours, and what a click does
// when the link opens and when it does not.

#include <gtest/gtest.h>

#include <QCursor>
#include <QMouseEvent>
#include <QTest>

#include "platform/qt/hyperlink_label.h"
#include "tests/qt/qt_wait.h"

namespace wharfling::testing {
namespace {

using qt::HyperlinkLabel;

class LabelFixture : public ::testing::Test {
 protected:
  LabelFixture() : label(QStringLiteral("Orsolan Co.Ltd")) {
    label.SetLinkTarget(QStringLiteral("http://www.orsolan.example/"));
    label.SetErrorReporter([this](const QString& text) { errors << text; });
    label.show();
  }
  void Hover() {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), label.mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&label, &move);
  }
  // The pointer leaves: the next timer tick notices.
  bool Leave() {
    QCursor::setPos(label.mapToGlobal(QPoint(-50, -50)));
    return WaitUntil([this] { return !label.hovering(); }, 2000);
  }
  void Click(int result) {
    label.SetOpener([this, result](const QString& address) {
      opened << address;
      return result;
    });
    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(2, 2));
  }

  HyperlinkLabel label;
  QStringList errors;
  QStringList opened;
};

TEST_F(LabelFixture, UnderlineModes) {
  const struct {
    int mode;
    bool before, whileHovering, after;
  } cases[] = {{1, true, true, true}, {0, false, false, false}, {-1, false, true, false}};
  for (const auto& test : cases) {
    label.SetUnderlineMode(test.mode);
    EXPECT_EQ(label.underlined(), test.before) << test.mode;
    Hover();
    EXPECT_TRUE(label.hovering());
    EXPECT_EQ(label.textColour(), QColor(255, 0, 0));
    EXPECT_EQ(label.underlined(), test.whileHovering) << test.mode;
    ASSERT_TRUE(Leave());
    EXPECT_EQ(label.underlined(), test.after) << test.mode;
    EXPECT_EQ(label.textColour(), QColor(0, 0, 238));
  }
}

TEST_F(LabelFixture, SettingTheSameModeDoesNotRepaint) {
  label.SetUnderlineMode(1);
  const int repaints = label.repaintRequests();
  label.SetUnderlineMode(1);
  EXPECT_EQ(label.repaintRequests(), repaints);
}

TEST_F(LabelFixture, AnOpenedLinkIsVisited) {
  Click(42);
  EXPECT_EQ(opened, QStringList({QStringLiteral("http://www.orsolan.example/")}));
  EXPECT_TRUE(label.visited());
  EXPECT_EQ(label.textColour(), QColor(85, 26, 139));
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(LabelFixture, ALinkThatDoesNotOpenTellsWhy) {
  Click(42);
  Click(31);
  EXPECT_FALSE(label.visited());
  EXPECT_EQ(errors, QStringList({QStringLiteral(
                        "Unable to open hyperlink:\n\nThere is no application associated\nwith the given "
                        "filename extension.")}));
}

TEST(HyperlinkLabel, AnEmptyTextShowsTheTarget) {
  HyperlinkLabel label(QString{});
  label.SetLinkTarget(QStringLiteral("http://example.test/"));
  EXPECT_EQ(label.text(), QStringLiteral("http://example.test/"));
  EXPECT_EQ(label.toolTip(), QStringLiteral("http://example.test/"));
  EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
}

}  // namespace
}  // namespace wharfling::testing
