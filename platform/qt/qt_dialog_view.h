#pragma once
// The upload dialog's view on Qt widgets. Every call may come from the run's thread: it is handed
// to the UI thread and the caller waits for it (see ui_thread.h), so the dialog's logic sees
// synchronous calls in its own order and the widgets are touched only on their thread.

#include <QString>
#include <functional>
#include <vector>

#include "ui/dialog_view.h"

namespace wharfling::qt {

class UploadWindow;

class QtDialogView final : public DialogView {
 public:
  // The modal parts, replaceable so that tests can answer them without a person.
  struct Modals {
    std::function<void(const QString& text)> message;
    std::function<ChooserOutcome(const std::vector<Text>& entries)> siteChooser;
    std::function<ChooserOutcome(const std::vector<Text>& albums)> albumChooser;
  };

  explicit QtDialogView(UploadWindow& window);
  QtDialogView(UploadWindow& window, Modals modals) : window_(window), modals_(std::move(modals)) {}

  void SetTitle(const Text& title) override;
  void SetFullRowSelect() override;
  bool InsertColumn(int column, const Text& header, int width) override;
  void InsertRow(int row, const Text& name) override;
  void SetCell(int row, int column, const Text& text) override;
  void AutoSizeColumn(int column) override;
  void SetProgressRange(int upper) override;
  void SetProgressPosition(int position) override;
  void ShowControl(int id, bool visible) override;
  void EnableControl(int id, bool enabled) override;
  void SetControlText(int id, const Text& text) override;
  Text ControlText(int id) const override;
  void SetChecked(int id, bool checked) override;
  bool IsChecked(int id) const override;
  void SetLink(const Text& target, int underlineMode) override;
  void ShowMessage(const Text& text) override;
  ChooserOutcome RunSiteChooser(const std::vector<Text>& entries) override;
  ChooserOutcome RunAlbumChooser(const std::vector<Text>& albums) override;

 private:
  UploadWindow& window_;
  Modals modals_;
};

}  // namespace wharfling::qt
