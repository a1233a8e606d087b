#include "platform/qt/dialog_units.h"

#include <QFontMetrics>
#include <QStringList>

namespace wharfling::qt {
namespace {

int MulDiv(int value, int multiplier, int divisor) {
  // Rounded to the nearest, as the dialog manager rounds.
  const long long product = static_cast<long long>(value) * multiplier;
  return static_cast<int>((product + divisor / 2) / divisor);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseWidth_ = (letters / 26 + 1) / 2;
  baseHeight_ = metrics.height();
}

int DialogUnits::X(int units) const { return MulDiv(units, baseWidth_, 4); }

int DialogUnits::Y(int units) const { return MulDiv(units, baseHeight_, 8); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  return QRect(X(x), Y(y), X(width), Y(height));
}

QFont DialogFont() {
  QFont font;
  font.setStyleHint(QFont::SansSerif);
  QStringList families;
  families << QStringLiteral("DejaVu Sans") << QStringLiteral("IPAGothic") << QStringLiteral("IPAPGothic");
  font.setFamilies(families);
  font.setPointSize(8);
  return font;
}

}  // namespace wharfling::qt
