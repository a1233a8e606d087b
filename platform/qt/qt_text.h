#pragma once
// The view's edge: the core's CP932 texts become QStrings here and typed text goes back as CP932.

#include <QString>

#include "text/text.h"

namespace wharfling::qt {

QString ToQString(const Text& cp932);
Text FromQString(const QString& text);

}  // namespace wharfling::qt
