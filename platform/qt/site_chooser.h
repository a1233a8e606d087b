#pragma once
// The site chooser (template 211): the destinations with their icons in an icon list; a
// double-click on one is the only way to choose it.

#include <vector>

#include "platform/qt/chooser_dialog.h"
#include "text/text.h"

namespace wharfling::qt {

class IconListBox;

class SiteChooser : public ChooserDialog {
  Q_OBJECT
 public:
  SiteChooser(const std::vector<Text>& entries, QWidget* parent = nullptr);
  IconListBox* list() const { return list_; }

 private:
  IconListBox* list_;
};

// The thirteen site icons (32 x 32), in the order of the chooser's entries.
QList<QPixmap> SiteIcons();

}  // namespace wharfling::qt
