#include "tests/win32/layout_check.h"

#include "tests/win32/probe_output.h"

namespace wharfling::probe {
namespace {

int TextWidth(HWND control, const std::wstring& text) {
  HDC dc = GetDC(control);
  const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return extent.cx;
}

}  // namespace

void PrintLayoutFaults(HWND window, const std::string& prefix) {
  RECT area{};
  GetClientRect(window, &area);
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const std::wstring text = WindowText(child);
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    if (place.left < area.left || place.top < area.top || place.right > area.right ||
        place.bottom > area.bottom)
      Print(prefix + "outside", Utf8(text));
    wchar_t kind[16] = {};
    GetClassNameW(child, kind, 16);
    const std::wstring_view name(kind);
    if (name != L"Static" && name != L"Button") continue;
    RECT client{};
    GetClientRect(child, &client);
    const int width = TextWidth(child, text);
    if (width > client.right) {
      Print(prefix + "overflow",
            Utf8(text) + " " + std::to_string(width) + "/" + std::to_string(client.right));
    }
  }
}

}  // namespace wharfling::probe
