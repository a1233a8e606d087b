#pragma once
// The application's message box: modal, one OK button, the warning icon, the application's name
// as caption.

#include <QString>

class QWidget;

namespace wharfling::qt {

void ShowWarning(QWidget* owner, const QString& text);

}  // namespace wharfling::qt
