#pragma once
// Port: the upload dialog's window as the core drives it. Every rule lives in the core; a view
// only shows what it is told and reports what the user did. The Qt dialog, the Win32 dialog, the
// terminal front end and the tests' recording view are its adapters.

#include <vector>

#include "text/text.h"

namespace wharfling {

// How a chooser was closed: by a double-click on a row (with the list's selection then, -1 for
// none) or any other way.
struct ChooserOutcome {
  bool doubleClicked = false;
  int selection = -1;
};

class DialogView {
 public:
  virtual ~DialogView() = default;

  virtual void SetTitle(const Text& title) = 0;

  // File list (control 201). Rows are placed by the core, which keeps them sorted.
  virtual void SetFullRowSelect() = 0;
  virtual bool InsertColumn(int column, const Text& header, int width) = 0;
  virtual void InsertRow(int row, const Text& name) = 0;
  virtual void SetCell(int row, int column, const Text& text) = 0;
  virtual void AutoSizeColumn(int column) = 0;

  // Progress bar (control 206).
  virtual void SetProgressRange(int upper) = 0;
  virtual void SetProgressPosition(int position) = 0;

  // Any control by id.
  virtual void ShowControl(int id, bool visible) = 0;
  virtual void EnableControl(int id, bool enabled) = 0;
  virtual void SetControlText(int id, const Text& text) = 0;
  virtual Text ControlText(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  virtual bool IsChecked(int id) const = 0;

  // The maker's hyperlink label (control 208).
  virtual void SetLink(const Text& target, int underlineMode) = 0;

  // A modal message box with an OK button and the exclamation icon.
  virtual void ShowMessage(const Text& text) = 0;

  // Modal choosers; each lists the given texts in order.
  virtual ChooserOutcome RunSiteChooser(const std::vector<Text>& entries) = 0;
  virtual ChooserOutcome RunAlbumChooser(const std::vector<Text>& albums) = 0;
};

}  // namespace wharfling
