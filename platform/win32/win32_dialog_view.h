#pragma once
// The DialogView adapter of the Windows build: the controls of dialog template 201, shown through
// the wide API with the core's CP932 texts converted explicitly.

#include <windows.h>

#include <memory>

#include "platform/win32/hyperlink_label.h"
#include "ui/dialog_view.h"

namespace wharfling::win32 {

class Win32DialogView final : public DialogView {
 public:
  // dialog: the upload dialog's window, its controls created; appName: the message boxes' caption.
  Win32DialogView(HINSTANCE instance, HWND dialog, std::string appName);

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

  // The maker's label hears of its colour request and its click through the dialog.
  HBRUSH OnLabelColour(HWND control, HDC dc) const;
  INT_PTR OnLabelCommand(int notification);

 private:
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }

  HINSTANCE instance_;
  HWND dialog_;
  std::string appName_;
  HyperlinkLabel makerLabel_;
};

// A modal message box of the application: OK button, exclamation icon, the application's caption.
void ShowAppMessage(HWND owner, const std::string& appName, const Text& text);

}  // namespace wharfling::win32
