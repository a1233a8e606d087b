#pragma once
// What the two choosers share: a modal dialog around one list, laid out from its template, with
// the page's two buttons ("OK" and "キャンセル", 100 pixels wide) below the list. Only a
// double-click on the list records a choice; the buttons and the keyboard close it without one.

#include <QDialog>

#include "ui/dialog_view.h"

class QAbstractItemView;
class QPushButton;

namespace wharfling::qt {

class ChooserDialog : public QDialog {
  Q_OBJECT
 public:
  // Runs the dialog modally and tells how it was closed.
  ChooserOutcome Run();
  ChooserOutcome outcome() const { return outcome_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

 protected:
  ChooserDialog(QWidget* parent, int widthUnits, int heightUnits);
  // Places the list at its template rectangle and the buttons below it.
  void PlaceList(QAbstractItemView* list, int listId, QRect listUnits);
  // A double-click on the list: the selection (-1 for none) is the choice, and the dialog ends.
  void RecordChoice(int selection);

 private:
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  ChooserOutcome outcome_;
};

// The selected row of a single-selection list, or -1.
int SelectedRow(const QAbstractItemView& list);

}  // namespace wharfling::qt
