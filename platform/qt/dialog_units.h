#pragma once
// Dialog templates are laid out in dialog units: a quarter of the dialog font's average character
// width horizontally and an eighth of its height vertically. The conversion below takes both
// from the font the window really uses (the templates name "MS Shell Dlg" 8 point): the average
// width is that of the 52 Latin letters, rounded as (width / 26 + 1) / 2.

#include <QFont>
#include <QRect>

namespace wharfling::qt {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  DialogUnits(int baseWidth, int baseHeight) : baseWidth_(baseWidth), baseHeight_(baseHeight) {}

  int X(int units) const;
  int Y(int units) const;
  // A template rectangle (x, y, width, height in dialog units) in pixels.
  QRect Rect(int x, int y, int width, int height) const;

  int baseWidth() const { return baseWidth_; }
  int baseHeight() const { return baseHeight_; }

 private:
  int baseWidth_;
  int baseHeight_;
};

// The dialog font: 8 point sans serif, falling back to a Japanese face for the Japanese texts.
QFont DialogFont();

}  // namespace wharfling::qt
