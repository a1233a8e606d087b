// The application's message box: modal, one OK button, the warning icon, the program's name.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/qt/message_box.h"

namespace wharfling::testing {
namespace {

TEST(MessageBox, IsAModalWarningWithOkCaptionedWithTheApplicationName) {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QList<QAbstractButton*> buttons;
  bool modal = false;
  QTimer answer;
  // Answers the box as soon as it is up, as a person would.
  QObject::connect(&answer, &QTimer::timeout, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible()) continue;
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->buttons();
      modal = box->isModal();
      box->button(QMessageBox::Ok)->click();
    }
  });
  answer.start(10);
  qt::ShowWarning(nullptr, QStringLiteral("ログインに失敗しました。"));
  EXPECT_EQ(title, QApplication::applicationName());
  EXPECT_EQ(text, QStringLiteral("ログインに失敗しました。"));
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(buttons.size(), 1);
  EXPECT_TRUE(modal);
}

}  // namespace
}  // namespace wharfling::testing
