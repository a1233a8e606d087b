#include "platform/qt/chooser_dialog.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QPushButton>

#include "platform/qt/dialog_units.h"
#include "platform/qt/qt_text.h"
#include "ui/controls.h"
#include "wharfling/texts.h"

namespace wharfling::qt {
namespace {

constexpr int kButtonWidth = 100;

}  // namespace

ChooserDialog::ChooserDialog(QWidget* parent, int widthUnits, int heightUnits) : QDialog(parent) {
  setFont(DialogFont());
  const DialogUnits units(font());
  resize(units.X(widthUnits), units.Y(heightUnits));
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QString::number(control::kOk));
  cancel_ = new QPushButton(ToQString(Text(texts::kChooserCancel)), this);
  cancel_->setObjectName(QString::number(control::kCancel));
  // The page's buttons end the dialog as its OK and Cancel do: neither records a choice.
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void ChooserDialog::PlaceList(QAbstractItemView* list, int listId, QRect listUnits) {
  const DialogUnits units(font());
  list->setObjectName(QString::number(listId));
  const QRect area = units.Rect(listUnits.x(), listUnits.y(), listUnits.width(), listUnits.height());
  list->setGeometry(area);
  const int buttonHeight = ok_->sizeHint().height();
  const int top = area.bottom() + 1 + units.Y(4);
  // As on the page: right-aligned, "OK" above "キャンセル".
  ok_->setGeometry(area.right() + 1 - kButtonWidth, top, kButtonWidth, buttonHeight);
  cancel_->setGeometry(ok_->x(), top + buttonHeight + units.Y(2), kButtonWidth, buttonHeight);
  setFixedSize(width(), cancel_->geometry().bottom() + 1 + units.Y(7));
  setTabOrder(list, ok_);
  setTabOrder(ok_, cancel_);
  list->setFocus();
}

void ChooserDialog::RecordChoice(int selection) {
  outcome_ = ChooserOutcome{true, selection};
  accept();
}

ChooserOutcome ChooserDialog::Run() {
  exec();
  return outcome_;
}

int SelectedRow(const QAbstractItemView& list) {
  const QModelIndexList rows = list.selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.front().row();
}

}  // namespace wharfling::qt
