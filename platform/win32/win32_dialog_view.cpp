#include "platform/win32/win32_dialog_view.h"

#include <commctrl.h>

#include "platform/win32/choosers.h"
#include "platform/win32/wide_text.h"
#include "ui/controls.h"

namespace wharfling::win32 {

namespace {

std::wstring WindowText(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool IsEdit(HWND control) {
  wchar_t name[8] = {};
  GetClassNameW(control, name, 8);
  return lstrcmpiW(name, L"Edit") == 0;
}

}  // namespace

void ShowAppMessage(HWND owner, const std::string& appName, const Text& text) {
  MessageBoxW(owner, Cp932ToWide(text).c_str(), Cp932ToWide(appName).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

Win32DialogView::Win32DialogView(HINSTANCE instance, HWND dialog, std::string appName)
    : instance_(instance), dialog_(dialog), appName_(std::move(appName)) {
  HWND list = Item(control::kFileList);
  // The core keeps the rows in their sorted places and addresses them by index; the control must
  // not sort them again by rules of its own.
  SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) & ~LONG_PTR{LVS_SORTASCENDING});
  SendMessageW(Item(control::kTargetDir), EM_LIMITTEXT, 258, 0);
  makerLabel_.Attach(Item(control::kMakerLabel), appName_);
}

void Win32DialogView::SetTitle(const Text& title) { SetWindowTextW(dialog_, Cp932ToWide(title).c_str()); }

void Win32DialogView::SetFullRowSelect() {
  ListView_SetExtendedListViewStyleEx(Item(control::kFileList), LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

bool Win32DialogView::InsertColumn(int column, const Text& header, int width) {
  std::wstring text = Cp932ToWide(header);
  LVCOLUMNW description{};
  description.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  description.pszText = text.data();
  description.cx = width;
  description.iSubItem = column;
  return SendMessageW(Item(control::kFileList), LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                      reinterpret_cast<LPARAM>(&description)) != -1;
}

void Win32DialogView::InsertRow(int row, const Text& name) {
  std::wstring text = Cp932ToWide(name);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = text.data();
  SendMessageW(Item(control::kFileList), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32DialogView::SetCell(int row, int column, const Text& text) {
  std::wstring wide = Cp932ToWide(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = wide.data();
  SendMessageW(Item(control::kFileList), LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&item));
}

void Win32DialogView::AutoSizeColumn(int column) {
  ListView_SetColumnWidth(Item(control::kFileList), column, LVSCW_AUTOSIZE);
}

void Win32DialogView::SetProgressRange(int upper) {
  SendMessageW(Item(control::kProgress), PBM_SETRANGE32, 0, upper);
}

void Win32DialogView::SetProgressPosition(int position) {
  SendMessageW(Item(control::kProgress), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32DialogView::ShowControl(int id, bool visible) { ShowWindow(Item(id), visible ? SW_SHOW : SW_HIDE); }

void Win32DialogView::EnableControl(int id, bool enabled) { EnableWindow(Item(id), enabled ? TRUE : FALSE); }

void Win32DialogView::SetControlText(int id, const Text& text) {
  HWND control = Item(id);
  const std::wstring wide = Cp932ToWide(text);
  // Setting an edit's text moves its caret to the start: the account edits are refreshed after
  // every keystroke, so text that has not changed is left alone, and a changed text keeps the
  // caret where the user had it.
  if (WindowText(control) == wide) return;
  const bool edit = IsEdit(control);
  DWORD caret = 0;
  if (edit) SendMessageW(control, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
  SetWindowTextW(control, wide.c_str());
  if (edit) SendMessageW(control, EM_SETSEL, caret, caret);
}

Text Win32DialogView::ControlText(int id) const { return WideToCp932(WindowText(Item(id))); }

void Win32DialogView::SetChecked(int id, bool checked) {
  SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32DialogView::IsChecked(int id) const {
  return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32DialogView::SetLink(const Text& target, int underlineMode) {
  makerLabel_.SetLinkTarget(target);
  makerLabel_.SetUnderlineMode(underlineMode);
}

HBRUSH Win32DialogView::OnLabelColour(HWND control, HDC dc) const {
  return control == makerLabel_.window() ? makerLabel_.OnColour(dc) : nullptr;
}

INT_PTR Win32DialogView::OnLabelCommand(int notification) {
  if (notification != STN_CLICKED) return FALSE;
  makerLabel_.OnClicked();
  return TRUE;
}

void Win32DialogView::ShowMessage(const Text& text) { ShowAppMessage(dialog_, appName_, text); }

ChooserOutcome Win32DialogView::RunSiteChooser(const std::vector<Text>& entries) {
  return RunSiteChooserDialog(instance_, entries);
}

ChooserOutcome Win32DialogView::RunAlbumChooser(const std::vector<Text>& albums) {
  return RunAlbumChooserDialog(instance_, albums);
}

}  // namespace wharfling::win32
