#include "platform/win32/hyperlink_label.h"

#include <commctrl.h>
#include <shellapi.h>

#include "platform/win32/browser_command_line.h"
#include "platform/win32/wide_text.h"
#include "ui/hyperlink_messages.h"

namespace wharfling::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 1;

// Reads a default value of HKEY_CLASSES_ROOT (at most 260 bytes); false when it cannot.
bool ReadClassesDefault(const std::string& key, std::string& value) {
  char buffer[MAX_PATH] = {};
  LONG size = MAX_PATH;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), buffer, &size) != ERROR_SUCCESS) return false;
  value = buffer;
  return true;
}

// The hand: cursor 106 of winhlp32.exe, copied before the file is let go; else the system's own
// hand, which every 64-bit Windows has (its winhlp32.exe may be a stub without the cursor).
HCURSOR LoadHandCursor() {
  char path[MAX_PATH] = {};
  GetWindowsDirectoryA(path, MAX_PATH);
  const std::string file = std::string(path) + "\\winhlp32.exe";
  if (HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
    HCURSOR cursor = nullptr;
    if (HCURSOR loaded = LoadCursorA(module, MAKEINTRESOURCEA(106)))
      cursor = static_cast<HCURSOR>(CopyImage(loaded, IMAGE_CURSOR, 0, 0, 0));
    FreeLibrary(module);
    if (cursor != nullptr) return cursor;
  }
  return LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));  // IDC_HAND
}

}  // namespace

HyperlinkLabel::~HyperlinkLabel() {
  if (control_ != nullptr && IsWindow(control_)) RemoveWindowSubclass(control_, SubclassProc, kSubclassId);
  if (normalFont_ != nullptr) DeleteObject(normalFont_);
  if (underlinedFont_ != nullptr) DeleteObject(underlinedFont_);
}

void HyperlinkLabel::Attach(HWND control, std::string appName) {
  control_ = control;
  appName_ = std::move(appName);
  SetWindowLongPtrW(control_, GWL_STYLE, GetWindowLongPtrW(control_, GWL_STYLE) | SS_NOTIFY);

  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control_)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control_, text.data(), static_cast<int>(text.size()))));
  if (linkTarget_.empty()) linkTarget_ = WideToCp932(text);
  if (text.empty()) SetWindowTextW(control_, Cp932ToWide(linkTarget_).c_str());

  auto font = reinterpret_cast<HFONT>(SendMessageW(control_, WM_GETFONT, 0, 0));
  if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  if (font == nullptr) font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
  LOGFONTW description{};
  GetObjectW(font, sizeof description, &description);
  normalFont_ = CreateFontIndirectW(&description);
  description.lfUnderline = TRUE;
  underlinedFont_ = CreateFontIndirectW(&description);
  SelectFont(normalFont_, false);

  ResizeToText();
  handCursor_ = LoadHandCursor();
  underlineMode_ = -1;

  tooltip_ =
      CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, control_, nullptr, nullptr, nullptr);
  SendTooltip(TTM_ADDTOOLW);

  SetWindowSubclass(control_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void HyperlinkLabel::SetLinkTarget(const Text& target) {
  linkTarget_ = target;
  if (control_ == nullptr) return;
  ResizeToText();
  SendTooltip(TTM_UPDATETIPTEXTW);
}

void HyperlinkLabel::SendTooltip(UINT message) {
  // One tool over the control's client area, whose text is the link target.
  std::wstring tip = Cp932ToWide(linkTarget_);
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = control_;
  tool.uId = 1;
  tool.lpszText = tip.data();
  GetClientRect(control_, &tool.rect);
  SendMessageW(tooltip_, message, 0, reinterpret_cast<LPARAM>(&tool));
}

void HyperlinkLabel::SetUnderlineMode(int mode) {
  if (mode == underlineMode_) return;
  if (control_ != nullptr) SelectFont(mode == 1 ? underlinedFont_ : normalFont_, true);
  underlineMode_ = mode;
}

void HyperlinkLabel::SetVisited(bool visited) {
  visited_ = visited;
  if (control_ != nullptr) InvalidateRect(control_, nullptr, TRUE);
}

HBRUSH HyperlinkLabel::OnColour(HDC dc) const {
  SetTextColor(dc, hovering_ ? hoverColour_ : visited_ ? visitedColour_ : linkColour_);
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
}

void HyperlinkLabel::OnClicked() {
  hovering_ = false;
  const long long result = OpenLink(linkTarget_, SW_SHOWNORMAL);
  if (result > kOpenLinkSucceededAbove) {
    SetVisited(true);
    return;
  }
  visited_ = false;
  MessageBeep(MB_ICONEXCLAMATION);
  MessageBoxW(GetParent(control_), Cp932ToWide(HyperlinkErrorText(static_cast<int>(result))).c_str(),
              Cp932ToWide(appName_).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

long long HyperlinkLabel::OpenLink(const std::string& address, int show) {
  const auto opened =
      reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, show));
  if (opened > 32) return opened;
  std::string type;
  std::string command;
  if (!ReadClassesDefault(".htm", type) || !ReadClassesDefault(type + "\\shell\\open\\command", command))
    return opened;
  return WinExec(BrowserCommandLine(command, address).c_str(), static_cast<UINT>(show));
}

void HyperlinkLabel::SelectFont(HFONT font, bool repaint) {
  SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(font), repaint ? TRUE : FALSE);
}

void HyperlinkLabel::ResizeToText() {
  if (!autoSize_) return;
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control_)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control_, text.data(), static_cast<int>(text.size()))));
  HDC dc = GetDC(control_);
  const HGDIOBJ previous = SelectObject(dc, underlinedFont_);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, previous);
  ReleaseDC(control_, dc);

  RECT window{};
  RECT client{};
  GetWindowRect(control_, &window);
  GetClientRect(control_, &client);
  MapWindowPoints(nullptr, GetParent(control_), reinterpret_cast<POINT*>(&window), 2);
  const int width = extent.cx + (window.right - window.left) - client.right;
  const int height = extent.cy + (window.bottom - window.top) - client.bottom;
  const LONG_PTR style = GetWindowLongPtrW(control_, GWL_STYLE);
  int left = window.left;
  if ((style & SS_TYPEMASK) == SS_CENTER) {
    left = (window.left + window.right) / 2 - width / 2;
  } else if ((style & SS_TYPEMASK) == SS_RIGHT) {
    left = window.right - width;
  }
  int top = window.top;
  if (style & SS_CENTERIMAGE) top = (window.top + window.bottom) / 2 - height / 2;
  SetWindowPos(control_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void HyperlinkLabel::OnMouseMove() {
  if (hovering_) return;
  hovering_ = true;
  if (underlineMode_ == -1) SelectFont(underlinedFont_, false);
  InvalidateRect(control_, nullptr, TRUE);
  SetTimer(control_, kHoverTimerId, 100, nullptr);
}

void HyperlinkLabel::OnHoverTimer() {
  const DWORD position = GetMessagePos();
  POINT point{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  ScreenToClient(control_, &point);
  RECT client{};
  GetClientRect(control_, &client);
  if (PtInRect(&client, point)) return;
  hovering_ = false;
  KillTimer(control_, kHoverTimerId);
  if (underlineMode_ != 1) SelectFont(normalFont_, false);
  client.bottom += 10;
  InvalidateRect(control_, &client, TRUE);
}

LRESULT CALLBACK HyperlinkLabel::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR, DWORD_PTR self) {
  auto* label = reinterpret_cast<HyperlinkLabel*>(self);
  if (label->tooltip_ != nullptr && message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
    MSG relayed{window, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
    SendMessageW(label->tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  }
  return label->Handle(message, wParam, lParam);
}

LRESULT HyperlinkLabel::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      if (handCursor_ != nullptr) {
        SetCursor(handCursor_);
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      OnMouseMove();
      break;
    case WM_TIMER:
      if (wParam == kHoverTimerId) OnHoverTimer();
      break;
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(control_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return TRUE;
    }
    case WM_DESTROY:
      KillTimer(control_, kHoverTimerId);
      break;
    default:
      break;
  }
  return DefSubclassProc(control_, message, wParam, lParam);
}

}  // namespace wharfling::win32
