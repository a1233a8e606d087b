#include "platform/qt/chooser_list.h"

namespace wharfling::qt {

void ChooserList::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  emit listDoubleClicked();
}

}  // namespace wharfling::qt
