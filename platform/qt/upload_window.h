#pragma once
// The upload dialog's window (template 201): every control of the template at its place, with its
// id as object name, in the template's tab order; the hidden ones exist but are never shown. The
// window only shows and reports: the dialog's logic drives it through the view.

#include <QDialog>
#include <functional>

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace wharfling::qt {

class HyperlinkLabel;

class UploadWindow : public QDialog {
  Q_OBJECT
 public:
  explicit UploadWindow(QWidget* parent = nullptr);

  // The control with that id, or null.
  QWidget* control(int id) const;
  QTreeWidget* fileList() const { return fileList_; }
  QProgressBar* progress() const { return progress_; }
  QPushButton* destinationButton() const { return destination_; }
  QLineEdit* idEdit() const { return id_; }
  QLineEdit* passwordEdit() const { return password_; }
  HyperlinkLabel* makerLabel() const { return makerLabel_; }
  // The photo options, in a strip below the template's controls (object names "fit", "nolocation").
  QCheckBox* fitBox() const { return fit_; }
  QCheckBox* noLocationBox() const { return noLocation_; }

  // While a run is on, no input reaches the window but a click on Cancel, which asks the run to
  // stop; closing the window asks the same and closes it when the run has ended.
  void SetRunning(bool running);
  bool running() const { return running_; }

  // Asked when the Enter key means OK; true ends the dialog.
  void SetOkHandler(std::function<bool()> handler) { okHandler_ = std::move(handler); }

 signals:
  void destinationClicked();
  void accountEdited();
  // Cancel pressed or the window closed during a run; the first request of a run only.
  void cancelRequested();

 public slots:
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  bool IsInputForThisWindow(QObject* watched, QEvent* event) const;
  void RequestCancel();

  QTreeWidget* fileList_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* destination_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QLineEdit* id_ = nullptr;
  QLineEdit* password_ = nullptr;
  HyperlinkLabel* makerLabel_ = nullptr;
  QCheckBox* fit_ = nullptr;
  QCheckBox* noLocation_ = nullptr;
  std::function<bool()> okHandler_;
  bool running_ = false;
  bool closeWhenRunEnds_ = false;
  bool cancelRequested_ = false;  // in this run
};

}  // namespace wharfling::qt
