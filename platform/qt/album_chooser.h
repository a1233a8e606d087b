#pragma once
// The album chooser (template 239): the albums a site offered, in a plain list; a double-click on
// a selected one chooses it.

#include <vector>

#include "platform/qt/chooser_dialog.h"
#include "platform/qt/chooser_list.h"
#include "text/text.h"

namespace wharfling::qt {

class AlbumChooser : public ChooserDialog {
  Q_OBJECT
 public:
  AlbumChooser(const std::vector<Text>& albums, QWidget* parent = nullptr);
  ChooserList* list() const { return list_; }

 private:
  ChooserList* list_;
};

}  // namespace wharfling::qt
