#pragma once
// A list box that reports every double-click it lets through, wherever it lands, as the choosers
// want it: they read the selection themselves.

#include <QListWidget>

namespace wharfling::qt {

class ChooserList : public QListWidget {
  Q_OBJECT
 public:
  explicit ChooserList(QWidget* parent = nullptr) : QListWidget(parent) {}

 signals:
  void listDoubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace wharfling::qt
