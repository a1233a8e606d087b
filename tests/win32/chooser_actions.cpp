#include "tests/win32/chooser_actions.h"

namespace wharfling::probe {
namespace {

// The mouse messages of a double-click, posted so that the list's own tracking sees them in order.
void DoubleClick(HWND list, int x, int y) {
  const LPARAM point = MAKELPARAM(x, y);
  for (const UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
    PostMessageW(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, point);
  }
}

}  // namespace

void ActInChooser(HWND chooser, HWND list, const std::string& action) {
  if (action.starts_with("dblclick:")) {
    const int row = std::stoi(action.substr(9));
    SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
    RECT rect{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    DoubleClick(list, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  } else if (action == "dblclick-none") {
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    Sleep(300);
    if (IsWindow(chooser) && IsWindowVisible(chooser)) PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
  } else if (action == "close") {
    PostMessageW(chooser, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else {
    PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
  }
}

}  // namespace wharfling::probe
