#pragma once
// A window as it shows on the screen, saved as a PNG; prints "screenshot" with the path, or
// "failed".

#include <windows.h>

#include <string>

namespace wharfling::probe {

void TakeScreenshot(HWND window, const std::string& path);

}  // namespace wharfling::probe
