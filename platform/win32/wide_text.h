#pragma once
// CP932 text to UTF-16 and back, explicitly, so that the Japanese texts show on any system code page.

#include <string>
#include <string_view>

#include "text/text.h"

namespace wharfling::win32 {

std::wstring Cp932ToWide(std::string_view text);
Text WideToCp932(std::wstring_view text);

}  // namespace wharfling::win32
