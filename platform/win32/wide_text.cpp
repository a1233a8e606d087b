#include "platform/win32/wide_text.h"

#include <windows.h>

namespace wharfling::win32 {
namespace {

constexpr UINT kShiftJis = 932;

}  // namespace

std::wstring Cp932ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(kShiftJis, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(kShiftJis, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

Text WideToCp932(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(kShiftJis, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  Text bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(kShiftJis, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                      nullptr);
  return bytes;
}

}  // namespace wharfling::win32
