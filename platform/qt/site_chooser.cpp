#include "platform/qt/site_chooser.h"

#include <QPainter>
#include <QSvgRenderer>

#include "platform/qt/icon_list_box.h"
#include "platform/qt/qt_text.h"

// The icons are compiled into this static library; a program must register them before use.
static void RegisterSiteIcons() { Q_INIT_RESOURCE(site_icons); }

namespace wharfling::qt {
namespace {

constexpr int kListId = 209;
constexpr int kIconSide = 32;
// The icon resources, entry by entry.
constexpr int kIconIds[] = {224, 225, 228, 227, 226, 229, 250, 255, 253, 257, 264, 258, 263};

QPixmap RenderIcon(int id) {
  QPixmap image(kIconSide, kIconSide);
  image.fill(Qt::transparent);
  QSvgRenderer renderer(QStringLiteral(":/icons/site-%1.svg").arg(id));
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

}  // namespace

QList<QPixmap> SiteIcons() {
  RegisterSiteIcons();
  QList<QPixmap> icons;
  for (const int id : kIconIds) icons.push_back(RenderIcon(id));
  return icons;
}

SiteChooser::SiteChooser(const std::vector<Text>& entries, QWidget* parent)
    : ChooserDialog(parent, 184, 249), list_(new IconListBox(this)) {
  // A pop-up without a caption bar.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowSystemMenuHint);
  PlaceList(list_, kListId, QRect(7, 7, 170, 235));
  list_->SetImageList(SiteIcons());
  int imageIndex = 0;
  for (const Text& entry : entries) list_->AddItem(ToQString(entry), imageIndex++);
  connect(list_, &IconListBox::listDoubleClicked, this, [this] { RecordChoice(SelectedRow(*list_)); });
}

}  // namespace wharfling::qt
