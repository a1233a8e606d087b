#pragma once
// An owner-drawn list whose rows carry an icon from an attached image list and a word-wrapped
// text: the icon area on the left, the text vertically centred beside it, the highlight over the
// whole row when selected, and a focus rectangle around the focused row.

#include <QPixmap>
#include <QStyledItemDelegate>

#include "platform/qt/chooser_list.h"

namespace wharfling::qt {

class IconListBox : public ChooserList {
  Q_OBJECT
 public:
  struct Row {
    int imageIndex = 0;
    int textFormat = 0;  // extra text flags for the row
    bool disabled = false;
  };

  explicit IconListBox(QWidget* parent = nullptr);

  // Appends a row and returns its index.
  int AddItem(const QString& text, int imageIndex);
  // Attaches the images (all of one size); none detaches them.
  void SetImageList(QList<QPixmap> images);
  const QList<QPixmap>& images() const { return images_; }
  QSize iconSize() const { return iconSize_; }

  Row RowAt(int row) const;
  void SetRowDisabled(int row, bool disabled);
  // The row's height by the layout rules, for the current width.
  int RowHeight(int row) const;

 protected:
  // A disabled row swallows its double-click.
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

  // The drawing steps, each replaceable by a subclass.
  virtual void FillTextBackground(QPainter& painter, const QRect& area, const QColor& colour) const;
  virtual void FillIconBackground(QPainter& painter, const QRect& area, const QColor& colour) const;
  virtual void DrawIcon(QPainter& painter, const QPoint& at, int imageIndex, bool disabled) const;

 private:
  friend class IconRowDelegate;
  void PaintRow(QPainter& painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
  int IconAreaWidth() const;

  QList<QPixmap> images_;
  QSize iconSize_;
};

class IconRowDelegate : public QStyledItemDelegate {
 public:
  explicit IconRowDelegate(IconListBox& list) : QStyledItemDelegate(&list), list_(list) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  IconListBox& list_;
};

}  // namespace wharfling::qt
