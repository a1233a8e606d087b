#include "platform/qt/qt_text.h"

#include "platform/posix/encoding.h"

namespace wharfling::qt {

QString ToQString(const Text& cp932) { return QString::fromStdString(posix::Cp932ToUtf8(cp932)); }

Text FromQString(const QString& text) { return posix::Utf8ToCp932(text.toStdString()); }

}  // namespace wharfling::qt
