#pragma once
// What a person would see as broken in a window's layout, printed one line each:
// "<prefix>overflow=text extent/width" for a visible static text or button whose one line of text
// is wider than the control (it wraps or is cut), and "<prefix>outside=text" for a visible control
// that reaches outside the window's client area (part of it cannot be seen).

#include <windows.h>

#include <string>

namespace wharfling::probe {

void PrintLayoutFaults(HWND window, const std::string& prefix);

}  // namespace wharfling::probe
