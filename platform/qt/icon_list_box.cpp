#include "platform/qt/icon_list_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace wharfling::qt {
namespace {

constexpr int kRowRecordRole = Qt::UserRole + 1;
constexpr int kTextFlags = Qt::TextWordWrap | Qt::TextExpandTabs | Qt::AlignLeft;
constexpr int kIconMargin = 6;  // the icon area is the icon plus 3 pixels each side
constexpr int kRowPadding = 4;

// The bitwise complement of a colour's RGB value: the text colour of a selected row.
QColor Complement(const QColor& colour) { return QColor::fromRgb(~colour.rgb() & 0xFFFFFF); }

}  // namespace

IconListBox::IconListBox(QWidget* parent) : ChooserList(parent) {
  setItemDelegate(new IconRowDelegate(*this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setResizeMode(QListView::Adjust);
  setUniformItemSizes(false);
}

int IconListBox::AddItem(const QString& text, int imageIndex) {
  auto* item = new QListWidgetItem(text, this);
  item->setData(kRowRecordRole, QVariant::fromValue(QList<int>{imageIndex, 0, 0}));
  return row(item);
}

IconListBox::Row IconListBox::RowAt(int rowIndex) const {
  const QListWidgetItem* found = item(rowIndex);
  if (found == nullptr) return {};
  const auto values = found->data(kRowRecordRole).value<QList<int>>();
  if (values.size() != 3) return {};
  return Row{values[0], values[1], (values[2] & 1) != 0};
}

void IconListBox::SetRowDisabled(int rowIndex, bool disabled) {
  QListWidgetItem* found = item(rowIndex);
  if (found == nullptr) return;
  const Row record = RowAt(rowIndex);
  found->setData(kRowRecordRole,
                 QVariant::fromValue(QList<int>{record.imageIndex, record.textFormat, disabled ? 1 : 0}));
}

void IconListBox::SetImageList(QList<QPixmap> images) {
  images_ = std::move(images);
  iconSize_ = images_.isEmpty() ? QSize() : images_.front().deviceIndependentSize().toSize();
  doItemsLayout();
  viewport()->update();
}

int IconListBox::IconAreaWidth() const { return images_.isEmpty() ? 0 : iconSize_.width() + kIconMargin; }

int IconListBox::RowHeight(int rowIndex) const {
  const QListWidgetItem* found = item(rowIndex);
  if (found == nullptr) return 0;
  // Measured in the width the text is drawn in, so that no wrapped line falls outside its row.
  const int textWidth = std::max(1, viewport()->width() - IconAreaWidth());
  const QRect bounds(0, 0, textWidth, 1 << 20);
  int height =
      fontMetrics().boundingRect(bounds, kTextFlags | RowAt(rowIndex).textFormat, found->text()).height();
  if (!images_.isEmpty()) height = std::max(height, iconSize_.height() + kRowPadding);
  return height + kRowPadding;
}

void IconListBox::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  doItemsLayout();  // row heights follow the width
}

void IconListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex hit = indexAt(event->position().toPoint());
  if (hit.isValid() && RowAt(hit.row()).disabled) return;
  ChooserList::mouseDoubleClickEvent(event);
}

void IconListBox::FillTextBackground(QPainter& painter, const QRect& area, const QColor& colour) const {
  painter.fillRect(area, colour);
}

void IconListBox::FillIconBackground(QPainter& painter, const QRect& area, const QColor& colour) const {
  painter.fillRect(area, colour);
}

void IconListBox::DrawIcon(QPainter& painter, const QPoint& at, int imageIndex, bool disabled) const {
  if (imageIndex < 0 || imageIndex >= images_.size()) return;
  const QPixmap& image = images_[imageIndex];
  if (!disabled) {
    painter.drawPixmap(at, image);
    return;
  }
  QStyleOption option;
  option.initFrom(this);
  painter.drawPixmap(at, style()->generatedIconPixmap(QIcon::Disabled, image, &option));
}

void IconListBox::PaintRow(QPainter& painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  const Row record = RowAt(index.row());
  const QPalette& colours = option.palette;
  const bool selected = (option.state & QStyle::State_Selected) && !record.disabled;
  const QColor background = selected ? colours.color(QPalette::Highlight) : colours.color(QPalette::Base);
  QColor textColour = colours.color(QPalette::Text);
  if (record.disabled) {
    textColour = colours.color(QPalette::Disabled, QPalette::Text);
  } else if (selected) {
    textColour = Complement(textColour);
  }

  const QRect row = option.rect;
  QRect textArea = row;
  if (!images_.isEmpty()) {
    const QRect iconArea(row.left(), row.top(), IconAreaWidth(), row.height());
    FillIconBackground(painter, iconArea, background);
    DrawIcon(painter, row.topLeft() + QPoint(3, 2), record.imageIndex, record.disabled);
    textArea.setLeft(iconArea.right() + 1);
  }
  FillTextBackground(painter, textArea, background);

  const int flags = kTextFlags | record.textFormat;
  const QString text = index.data(Qt::DisplayRole).toString();
  const QRect measured = painter.fontMetrics().boundingRect(textArea, flags, text);
  QRect drawn = textArea;
  drawn.setTop(textArea.top() + (textArea.height() - measured.height()) / 2);
  drawn.setHeight(measured.height());
  painter.setPen(textColour);
  painter.drawText(drawn, flags, text);

  if ((option.state & QStyle::State_HasFocus) && !record.disabled) {
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.rect = row;
    focus.backgroundColor = background;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

void IconRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  painter->save();
  list_.PaintRow(*painter, option, index);
  painter->restore();
}

QSize IconRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
  return QSize(list_.viewport()->width(), list_.RowHeight(index.row()));
}

}  // namespace wharfling::qt
