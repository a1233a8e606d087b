#include "platform/qt/message_box.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace wharfling::qt {

void ShowWarning(QWidget* owner, const QString& text) {
  QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text, QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace wharfling::qt
