#include "tests/win32/dialog_driver.h"

#include <commctrl.h>

#include <vector>

#include "tests/win32/chooser_actions.h"
#include "tests/win32/keystrokes.h"
#include "tests/win32/label_actions.h"
#include "tests/win32/layout_check.h"
#include "tests/win32/probe_output.h"
#include "tests/win32/screenshot.h"

namespace wharfling::probe {
namespace {

constexpr int kFileList = 201;
constexpr int kProgress = 206;
constexpr int kDestination = 1000;
constexpr int kId = 1017;
constexpr int kPassword = 1018;
constexpr int kMessageText = 0xFFFF;
constexpr int kSiteList = 209;
constexpr int kMakerLabel = 208;

std::vector<HWND> DialogsOf(DWORD thread) {
  std::vector<HWND> found;
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM list) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring_view(name) == L"#32770" && IsWindowVisible(window))
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string CellText(HWND list, int row, int column) {
  wchar_t buffer[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 512;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return Utf8(buffer);
}

std::string ShownAndEnabled(HWND control) {
  return std::string(IsWindowVisible(control) ? "visible" : "hidden") +
         (IsWindowEnabled(control) ? " enabled" : " disabled");
}

// One "keystroke" line after every key: the edit's text, then the destination button's state.
void TypeKeysReporting(HWND dialog, int edit, const std::string& keys) {
  HWND control = GetDlgItem(dialog, edit);
  TypeKeys(control, keys, [&] {
    Print("keystroke", Utf8(WindowText(control)) + "|" + ShownAndEnabled(GetDlgItem(dialog, kDestination)));
  });
}

void PrintState(HWND dialog, const char* stage) {
  const std::string prefix = std::string(stage) + ".";
  Print(prefix + "title", Utf8(WindowText(dialog)));
  HWND button = GetDlgItem(dialog, kDestination);
  Print(prefix + "button", Utf8(WindowText(button)) + " " + ShownAndEnabled(button));
  HWND list = GetDlgItem(dialog, kFileList);
  const auto rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    Print(prefix + "row",
          CellText(list, row, 0) + "|" + CellText(list, row, 1) + "|" + CellText(list, row, 2));
  }
  HWND label = GetDlgItem(dialog, kMakerLabel);
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), sizeof font, &font);
  Print(prefix + "label", Utf8(WindowText(label)) + (font.lfUnderline ? " underlined" : " plain") +
                              ((GetWindowLongPtrW(label, GWL_STYLE) & SS_NOTIFY) ? " notify" : ""));
  Print(prefix + "id", Utf8(WindowText(GetDlgItem(dialog, kId))));
  Print(prefix + "password", Utf8(WindowText(GetDlgItem(dialog, kPassword))));
  HWND progress = GetDlgItem(dialog, kProgress);
  Print(prefix + "progress", std::to_string(SendMessageW(progress, PBM_GETPOS, 0, 0)) + "/" +
                                 std::to_string(SendMessageW(progress, PBM_GETRANGE, FALSE, 0)));
}

}  // namespace

DialogDriver::DialogDriver(DWORD uiThread, DropScript script)
    : uiThread_(uiThread), script_(std::move(script)) {
  watcher_ = std::thread([this] { WatchMessageBoxes(); });
  driver_ = std::thread([this] { Drive(); });
}

DialogDriver::~DialogDriver() {
  driver_.join();
  stop_ = true;
  watcher_.join();
}

// Any dialog of the UI thread other than the upload dialog is a message box here: its text is
// printed and it is answered with OK.
void DialogDriver::WatchMessageBoxes() {
  while (!stop_) {
    for (HWND window : DialogsOf(uiThread_)) {
      if (GetDlgItem(window, kFileList) != nullptr) {
        dialog_ = window;
        continue;
      }
      if (HWND sites = GetDlgItem(window, kSiteList)) {
        Print("chooser.rows", std::to_string(SendMessageW(sites, LB_GETCOUNT, 0, 0)));
        Print("chooser.cancel", Utf8(WindowText(GetDlgItem(window, IDCANCEL))) +
                                    (IsWindowVisible(GetDlgItem(window, IDCANCEL)) ? " visible" : " hidden"));
        PrintLayoutFaults(window, "chooser.");
        if (!script_.chooserScreenshot.empty()) TakeScreenshot(window, script_.chooserScreenshot);
        ActInChooser(window, sites, script_.siteChoice);
        Sleep(400);
      } else if (HWND text = GetDlgItem(window, kMessageText)) {
        Print("message", Utf8(WindowText(text)));
        ++messagesSeen_;
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        Sleep(200);
      }
    }
    Sleep(20);
  }
}

void DialogDriver::Drive() {
  for (int waited = 0; dialog_ == nullptr; waited += 20) {
    if (waited > 60000) {
      Print("error", "no upload dialog");
      return;
    }
    Sleep(20);
  }
  HWND dialog = dialog_;
  PrintState(dialog, "start");
  PrintLayoutFaults(dialog, "start.");
  if (script_.typeAccount) {
    TypeKeysReporting(dialog, kId, script_.idKeys);
    TypeKeysReporting(dialog, kPassword, script_.passwordKeys);
    PrintState(dialog, "typed");
  }
  if (!script_.labelOpens.empty()) ExerciseLabel(dialog, script_.labelOpens, messagesSeen_);
  if (script_.press) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kDestination, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, kDestination)));
    PrintState(dialog, "done");
  }
  if (!script_.screenshot.empty()) TakeScreenshot(dialog, script_.screenshot);
  if (script_.enter) {
    // Posted, as a keyboard's are, so that the dialog's own loop turns Enter into its default button.
    HWND id = GetDlgItem(dialog, kId);
    PostMessageW(id, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(id, WM_KEYUP, VK_RETURN, 0xC01C0001);
    for (int waited = 0; waited < 10000 && IsWindow(dialog); waited += 50) Sleep(50);
    Print("enter", IsWindow(dialog) ? "dialog still open" : "dialog closed");
    if (!IsWindow(dialog)) return;
  }
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace wharfling::probe
