#pragma once
// The upload dialog on the desktop: the window, its view and the dialog's logic, with the run on a
// thread of its own so that the window keeps painting while the run hands every view call over to
// the UI thread and waits for it. The logic still sees one synchronous run, during which the
// window takes no input but Cancel, which fails the file in flight and stops the run.

#include <QObject>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/qt_dialog_view.h"
#include "platform/qt/upload_window.h"
#include "ui/upload_dialog.h"

class QThread;

namespace wharfling::qt {

class DesktopDialog : public QObject {
  Q_OBJECT
 public:
  // Real modal boxes and choosers unless others are given.
  DesktopDialog(const std::vector<std::string>& droppedPaths, DialogServices services,
                std::optional<QtDialogView::Modals> modals = std::nullopt);
  ~DesktopDialog() override;

  // Start-up; its message boxes come before the window is shown.
  void Initialize(bool allowSiteChooser = true);
  // Runs the window modally until it is closed.
  int Exec();

  UploadWindow& window() { return window_; }
  const UploadDialog& dialog() const { return dialog_; }
  bool running() const { return worker_ != nullptr; }

 signals:
  void runFinished();

 private:
  void StartRun();
  void WaitForRun();
  // The photo options' check boxes show the settings and write them when toggled.
  void ShowPhotoOptions();

  UploadWindow window_;
  std::unique_ptr<QtDialogView> view_;
  UploadDialog dialog_;
  QThread* worker_ = nullptr;
};

}  // namespace wharfling::qt
