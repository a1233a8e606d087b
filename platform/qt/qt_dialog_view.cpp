#include "platform/qt/qt_dialog_view.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTreeWidget>
#include <algorithm>

#include "platform/qt/album_chooser.h"
#include "platform/qt/hyperlink_label.h"
#include "platform/qt/message_box.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/site_chooser.h"
#include "platform/qt/ui_thread.h"
#include "platform/qt/upload_window.h"

namespace wharfling::qt {
namespace {

QString TextOf(const QWidget* widget) {
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
  if (const auto* pane = qobject_cast<const QPlainTextEdit*>(widget)) return pane->toPlainText();
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  return {};
}

void SetTextOf(QWidget* widget, const QString& text) {
  // Unchanged text is left alone, so a caret in the middle of what the user types stays put.
  if (TextOf(widget) == text) return;
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(text);
  } else if (auto* pane = qobject_cast<QPlainTextEdit*>(widget)) {
    pane->setPlainText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(text);
  }
}

}  // namespace

QtDialogView::QtDialogView(UploadWindow& window)
    : QtDialogView(window, Modals{
                               [&window](const QString& text) { ShowWarning(&window, text); },
                               [&window](const std::vector<Text>& entries) {
                                 SiteChooser chooser(entries, &window);
                                 return chooser.Run();
                               },
                               [&window](const std::vector<Text>& albums) {
                                 AlbumChooser chooser(albums, &window);
                                 return chooser.Run();
                               },
                           }) {}

void QtDialogView::SetTitle(const Text& title) {
  OnThreadOf(window_, [&] { window_.setWindowTitle(ToQString(title)); });
}

void QtDialogView::SetFullRowSelect() {
  OnThreadOf(window_, [&] {
    window_.fileList()->setSelectionBehavior(QAbstractItemView::SelectRows);
    window_.fileList()->setAllColumnsShowFocus(true);
  });
}

bool QtDialogView::InsertColumn(int column, const Text& header, int width) {
  return OnThreadOf(window_, [&] {
    QTreeWidget* list = window_.fileList();
    const int count = list->columnCount();
    if (column < 0 || column > count) return false;
    QStringList headers;
    QList<int> widths;
    for (int i = 0; i < count; ++i) {
      headers << list->headerItem()->text(i);
      widths << list->columnWidth(i);
    }
    headers.insert(column, ToQString(header));
    widths.insert(column, width);
    list->setColumnCount(count + 1);
    list->setHeaderLabels(headers);
    for (int i = 0; i <= count; ++i) list->setColumnWidth(i, widths[i]);
    return true;
  });
}

void QtDialogView::InsertRow(int row, const Text& name) {
  OnThreadOf(window_, [&] {
    QTreeWidget* list = window_.fileList();
    auto* item = new QTreeWidgetItem(QStringList{ToQString(name)});
    list->insertTopLevelItem(std::clamp(row, 0, list->topLevelItemCount()), item);
  });
}

void QtDialogView::SetCell(int row, int column, const Text& text) {
  OnThreadOf(window_, [&] {
    QTreeWidgetItem* item = window_.fileList()->topLevelItem(row);
    if (item != nullptr && column >= 0 && column < window_.fileList()->columnCount()) {
      item->setText(column, ToQString(text));
    }
  });
}

void QtDialogView::AutoSizeColumn(int column) {
  OnThreadOf(window_, [&] { window_.fileList()->resizeColumnToContents(column); });
}

void QtDialogView::SetProgressRange(int upper) {
  // A range of nothing would turn the bar into a busy indicator; an empty bar is meant.
  OnThreadOf(window_, [&] { window_.progress()->setRange(0, std::max(upper, 1)); });
}

void QtDialogView::SetProgressPosition(int position) {
  OnThreadOf(window_, [&] { window_.progress()->setValue(position); });
}

void QtDialogView::ShowControl(int id, bool visible) {
  OnThreadOf(window_, [&] {
    if (QWidget* widget = window_.control(id)) widget->setVisible(visible);
  });
}

void QtDialogView::EnableControl(int id, bool enabled) {
  OnThreadOf(window_, [&] {
    if (QWidget* widget = window_.control(id)) widget->setEnabled(enabled);
  });
}

void QtDialogView::SetControlText(int id, const Text& text) {
  OnThreadOf(window_, [&] {
    if (QWidget* widget = window_.control(id)) SetTextOf(widget, ToQString(text));
  });
}

Text QtDialogView::ControlText(int id) const {
  return OnThreadOf(window_, [&] {
    const QWidget* widget = window_.control(id);
    return widget == nullptr ? Text() : FromQString(TextOf(widget));
  });
}

void QtDialogView::SetChecked(int id, bool checked) {
  OnThreadOf(window_, [&] {
    if (auto* button = qobject_cast<QAbstractButton*>(window_.control(id))) {
      // An exclusive pair cannot be emptied by unchecking; only a check changes it.
      if (checked || button->isChecked()) button->setChecked(checked);
    }
  });
}

bool QtDialogView::IsChecked(int id) const {
  return OnThreadOf(window_, [&] {
    const auto* button = qobject_cast<const QAbstractButton*>(window_.control(id));
    return button != nullptr && button->isChecked();
  });
}

void QtDialogView::SetLink(const Text& target, int underlineMode) {
  OnThreadOf(window_, [&] {
    window_.makerLabel()->SetLinkTarget(ToQString(target));
    window_.makerLabel()->SetUnderlineMode(underlineMode);
  });
}

void QtDialogView::ShowMessage(const Text& text) {
  OnThreadOf(window_, [&] { modals_.message(ToQString(text)); });
}

ChooserOutcome QtDialogView::RunSiteChooser(const std::vector<Text>& entries) {
  return OnThreadOf(window_, [&] { return modals_.siteChooser(entries); });
}

ChooserOutcome QtDialogView::RunAlbumChooser(const std::vector<Text>& albums) {
  return OnThreadOf(window_, [&] { return modals_.albumChooser(albums); });
}

}  // namespace wharfling::qt
