#include "platform/qt/upload_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "platform/qt/dialog_units.h"
#include "platform/qt/hyperlink_label.h"
#include "ui/controls.h"
#include "ui/upload_dialog.h"

namespace wharfling::qt {
namespace {

// Template 201: 258 x 97 dialog units.
constexpr int kWidthUnits = 258;
constexpr int kHeightUnits = 97;
// The photo options' strip below the template.
constexpr int kOptionsStripUnits = 12;
constexpr int kTargetDirLimitChars = static_cast<int>(kTargetDirLimit);

struct Placement {
  int x, y, width, height;
};

// Puts a control at its template place; an id of 0 leaves it unnamed (the template's statics).
template <typename Widget>
Widget* Place(Widget* widget, const DialogUnits& units, int id, Placement at, bool visible) {
  if (id != 0) widget->setObjectName(QString::number(id));
  widget->setGeometry(units.Rect(at.x, at.y, at.width, at.height));
  widget->setVisible(visible);
  return widget;
}

QPlainTextEdit* ReadOnlyPane(QWidget* parent) {
  auto* pane = new QPlainTextEdit(parent);
  pane->setReadOnly(true);
  pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return pane;
}

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

}  // namespace

UploadWindow::UploadWindow(QWidget* parent) : QDialog(parent) {
  setFont(DialogFont());
  setWindowTitle(QStringLiteral("Upload To Parvault"));
  // A modal frame with a system menu and no resizing, as the template asks.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  CreateControls();
}

void UploadWindow::CreateControls() {
  const DialogUnits units(font());
  setFixedSize(units.X(kWidthUnits), units.Y(kHeightUnits + kOptionsStripUnits));
  using namespace control;

  fileList_ = Place(new QTreeWidget(this), units, kFileList, {8, 2, 242, 58}, true);
  fileList_->setRootIsDecorated(false);
  fileList_->setSelectionMode(QAbstractItemView::SingleSelection);
  fileList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  fileList_->setSortingEnabled(false);  // the dialog places the rows in their order itself
  fileList_->setUniformRowHeights(true);
  fileList_->setColumnCount(0);
  fileList_->header()->setStretchLastSection(false);
  fileList_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  fileList_->header()->setSectionsClickable(false);

  Place(new QLabel(this), units, 0, {166, 8, 27, 8}, false);
  auto* targetDir = Place(new QLineEdit(this), units, kTargetDir, {210, 30, 13, 14}, false);
  targetDir->setMaxLength(kTargetDirLimitChars);
  auto* browse =
      Place(new QPushButton(QStringLiteral("&Browse"), this), units, kBrowse, {200, 36, 50, 14}, false);
  auto* copy = Place(new QRadioButton(QStringLiteral("&Copy"), this), units, kCopy, {194, 34, 49, 10}, false);
  auto* move = Place(new QRadioButton(QStringLiteral("&Move"), this), units, kMove, {200, 42, 49, 10}, false);
  auto* pair = new QButtonGroup(this);
  pair->addButton(copy);
  pair->addButton(move);
  auto* ok = Place(new QPushButton(QStringLiteral("OK"), this), units, kOk, {204, 30, 50, 14}, false);
  ok->setDefault(true);
  cancel_ = Place(new QPushButton(QStringLiteral("Cancel"), this), units, kCancel, {220, 62, 32, 12}, true);
  progress_ = Place(new QProgressBar(this), units, kProgress, {8, 75, 246, 14}, true);
  progress_->setTextVisible(false);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  destination_ = Place(new QPushButton(this), units, kDestination, {166, 62, 51, 13}, true);
  id_ = Place(new QLineEdit(this), units, kId, {24, 62, 51, 13}, true);
  password_ = Place(new QLineEdit(this), units, kPassword, {98, 62, 59, 13}, true);
  password_->setEchoMode(QLineEdit::Password);
  auto* pane1055 = Place(ReadOnlyPane(this), units, 1055, {200, 16, 40, 13}, false);
  auto* headerPane = Place(ReadOnlyPane(this), units, kHeaderPane, {214, 8, 36, 19}, false);
  auto* pagePane = Place(ReadOnlyPane(this), units, kPagePane, {218, 16, 40, 12}, false);
  Place(new QLabel(QStringLiteral("ID:"), this), units, 0, {10, 64, 11, 8}, true);
  Place(new QLabel(QStringLiteral("PW:"), this), units, 0, {82, 64, 14, 8}, true);
  makerLabel_ = new HyperlinkLabel(QStringLiteral("Orsolan Co.Ltd"), this);
  Place(makerLabel_, units, kMakerLabel, {176, 89, 75, 8}, true);
  makerLabel_->SetLinkTarget(makerLabel_->linkTarget());  // sized to its text from its place
  Place(new QLabel(QStringLiteral("Version 2.0.0.2"), this), units, 0, {14, 89, 56, 8}, true);
  fit_ = Place(new QCheckBox(QStringLiteral("Shrink to fit"), this), units, 0, {14, 98, 70, 10}, true);
  fit_->setObjectName(QStringLiteral("fit"));
  fit_->setToolTip(
      QStringLiteral("JPEGs over the size limit are re-encoded to fit when sent (from the next "
                     "drop on); the files stay as they are"));
  noLocation_ =
      Place(new QCheckBox(QStringLiteral("Remove location"), this), units, 0, {90, 98, 80, 10}, true);
  noLocation_->setObjectName(QStringLiteral("nolocation"));
  noLocation_->setToolTip(
      QStringLiteral("Photos are sent without their GPS data; the files stay as they are"));

  // Buttons take the focus only from the keyboard, as dialog buttons do.
  for (auto* button : {browse, ok, cancel_, destination_}) button->setAutoDefault(false);
  const QWidget* tabOrder[] = {fileList_, targetDir, browse,   ok,         cancel_, destination_,
                               id_,       password_, pane1055, headerPane, pagePane};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
    setTabOrder(const_cast<QWidget*>(tabOrder[i - 1]), const_cast<QWidget*>(tabOrder[i]));
  }

  connect(cancel_, &QPushButton::clicked, this, [this] { running_ ? RequestCancel() : reject(); });
  connect(ok, &QPushButton::clicked, this, [this] {
    if (!okHandler_ || okHandler_()) accept();
  });
  connect(destination_, &QPushButton::clicked, this, &UploadWindow::destinationClicked);
  connect(id_, &QLineEdit::textEdited, this, &UploadWindow::accountEdited);
  connect(password_, &QLineEdit::textEdited, this, &UploadWindow::accountEdited);
}

QWidget* UploadWindow::control(int id) const { return findChild<QWidget*>(QString::number(id)); }

void UploadWindow::SetRunning(bool running) {
  if (running == running_) return;
  running_ = running;
  cancelRequested_ = false;
  if (running) {
    qApp->installEventFilter(this);
    return;
  }
  qApp->removeEventFilter(this);
  if (closeWhenRunEnds_) {
    closeWhenRunEnds_ = false;
    reject();
  }
}

bool UploadWindow::IsInputForThisWindow(QObject* watched, QEvent* event) const {
  if (!IsUserInput(event->type()) || !watched->isWidgetType()) return false;
  const auto* widget = static_cast<QWidget*>(watched);
  // Message boxes and choosers opened during the run are windows of their own and stay usable, and
  // so does Cancel, which stops the run.
  return widget != cancel_ && (widget == this || isAncestorOf(widget));
}

bool UploadWindow::eventFilter(QObject* watched, QEvent* event) {
  if (running_ && IsInputForThisWindow(watched, event)) return true;
  return QDialog::eventFilter(watched, event);
}

void UploadWindow::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && event->modifiers() == Qt::NoModifier) {
    // A focused button takes Enter as its click; anywhere else Enter is the hidden OK.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isVisible()) {
      if (button->isEnabled()) button->click();
    } else if (auto* ok = qobject_cast<QPushButton*>(control(control::kOk))) {
      ok->click();
    }
    return;
  }
  QDialog::keyPressEvent(event);
}

void UploadWindow::RequestCancel() {
  if (cancelRequested_) return;
  cancelRequested_ = true;
  emit cancelRequested();
}

void UploadWindow::reject() {
  if (running_) {
    closeWhenRunEnds_ = true;
    RequestCancel();
    return;
  }
  QDialog::reject();
}

void UploadWindow::closeEvent(QCloseEvent* event) {
  if (running_) {
    closeWhenRunEnds_ = true;
    RequestCancel();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace wharfling::qt
