#include "platform/qt/album_chooser.h"

#include "platform/qt/qt_text.h"

namespace wharfling::qt {
namespace {

constexpr int kListId = 210;

}  // namespace

AlbumChooser::AlbumChooser(const std::vector<Text>& albums, QWidget* parent)
    : ChooserDialog(parent, 124, 57), list_(new ChooserList(this)) {
  setWindowTitle(QStringLiteral("Dialog"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  PlaceList(list_, kListId, QRect(7, 7, 110, 43));
  for (const Text& album : albums) list_->addItem(ToQString(album));
  connect(list_, &ChooserList::listDoubleClicked, this, [this] {
    // A double-click while no row is selected changes nothing.
    if (const int row = SelectedRow(*list_); row >= 0) RecordChoice(row);
  });
}

}  // namespace wharfling::qt
