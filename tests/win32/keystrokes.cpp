#include "tests/win32/keystrokes.h"

#include <cstring>

namespace wharfling::probe {
namespace {

constexpr wchar_t kBackspace = 0x08;
constexpr wchar_t kCtrlV = 0x16;

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

void PutOnClipboard(const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  std::memcpy(GlobalLock(memory), text.c_str(), bytes);
  GlobalUnlock(memory);
  for (int tries = 0; !OpenClipboard(nullptr) && tries < 50; ++tries) Sleep(20);
  EmptyClipboard();
  if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
  CloseClipboard();
}

void Char(HWND edit, wchar_t c) { SendMessageW(edit, WM_CHAR, c, 1); }

void Key(HWND edit, UINT key) {
  SendMessageW(edit, WM_KEYDOWN, key, 1);
  SendMessageW(edit, WM_KEYUP, key, 0xC0000001);
}

}  // namespace

void TypeKeys(HWND edit, const std::string& script, const std::function<void()>& afterKey) {
  const std::wstring keys = Wide(script);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::size_t close = keys.find(L'}', i);
    if (keys[i] != L'{' || close == std::wstring::npos) {
      Char(edit, keys[i]);
      if (afterKey) afterKey();
      continue;
    }
    const std::wstring name = keys.substr(i + 1, close - i - 1);
    i = close;
    if (name == L"BS") {
      Char(edit, kBackspace);
    } else if (name == L"LEFT") {
      Key(edit, VK_LEFT);
    } else if (name == L"RIGHT") {
      Key(edit, VK_RIGHT);
    } else if (name == L"HOME") {
      Key(edit, VK_HOME);
    } else if (name == L"END") {
      Key(edit, VK_END);
    } else if (name.starts_with(L"PASTE:")) {
      PutOnClipboard(name.substr(6));
      Char(edit, kCtrlV);
    }
    if (afterKey) afterKey();
  }
}

}  // namespace wharfling::probe
