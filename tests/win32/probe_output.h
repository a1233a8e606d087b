#pragma once
// What the Wine probe prints: one "key=value" line per fact, texts as UTF-8 with CR, LF and
// backslash escaped, bytes as hexadecimal; and the text of a window, as it reads them.

#include <windows.h>

#include <string>
#include <string_view>

namespace wharfling::probe {

void Print(std::string_view key, std::string_view value);
void PrintHex(std::string_view key, std::string_view bytes);
void PrintResult(std::string_view key, HRESULT result);
std::string Utf8(std::wstring_view text);
std::string Cp932ToUtf8(std::string_view text);
std::wstring WindowText(HWND window);

}  // namespace wharfling::probe
