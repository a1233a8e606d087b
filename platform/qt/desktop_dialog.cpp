#include "platform/qt/desktop_dialog.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QThread>

namespace wharfling::qt {

DesktopDialog::DesktopDialog(const std::vector<std::string>& droppedPaths, DialogServices services,
                             std::optional<QtDialogView::Modals> modals)
    : view_(modals ? std::make_unique<QtDialogView>(window_, std::move(*modals))
                   : std::make_unique<QtDialogView>(window_)),
      dialog_(droppedPaths, *view_, services) {
  connect(&window_, &UploadWindow::destinationClicked, this, &DesktopDialog::StartRun);
  connect(&window_, &UploadWindow::accountEdited, this, [this] { dialog_.OnAccountEdited(); });
  // The run's exchange in flight sees the request within a second, and the run between files.
  connect(&window_, &UploadWindow::cancelRequested, this, [this] { dialog_.RequestCancel(); });
  dialog_.KeepCancelEnabledDuringRuns();
  window_.SetOkHandler([this] { return dialog_.OnOk(); });
}

DesktopDialog::~DesktopDialog() { WaitForRun(); }

void DesktopDialog::Initialize(bool allowSiteChooser) {
  dialog_.Initialize(allowSiteChooser);
  ShowPhotoOptions();
}

void DesktopDialog::ShowPhotoOptions() {
  QCheckBox* fit = window_.fitBox();
  QCheckBox* noLocation = window_.noLocationBox();
  fit->setChecked(dialog_.settings().fit != 0);
  noLocation->setChecked(dialog_.settings().noLocation != 0);
  for (QCheckBox* box : {fit, noLocation}) {
    box->setEnabled(dialog_.CanPreparePhotos());
    connect(box, &QCheckBox::toggled, this,
            [this, fit, noLocation] { dialog_.SetPhotoOptions(fit->isChecked(), noLocation->isChecked()); });
  }
}

int DesktopDialog::Exec() { return window_.exec(); }

void DesktopDialog::StartRun() {
  if (worker_ != nullptr) return;
  // A press of Cancel that came after the previous run had ended, but before the window knew it,
  // must not stop this one.
  dialog_.cancelRequest().Clear();
  window_.SetRunning(true);
  worker_ = QThread::create([this] { dialog_.StartUpload(); });
  connect(worker_, &QThread::finished, this, [this] {
    worker_->deleteLater();
    worker_ = nullptr;
    window_.SetRunning(false);
    emit runFinished();
  });
  worker_->start();
}

void DesktopDialog::WaitForRun() {
  // The run may be waiting for the UI thread, so the UI thread keeps serving it meanwhile.
  if (worker_ == nullptr) return;
  QEventLoop loop;
  connect(this, &DesktopDialog::runFinished, &loop, &QEventLoop::quit);
  if (worker_ != nullptr) loop.exec();
}

}  // namespace wharfling::qt
