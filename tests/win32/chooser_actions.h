#pragma once
// What the probe does in a chooser as a user would: double-click a row, double-click where no row
// is current, or close it without a choice.

#include <windows.h>

#include <string>

namespace wharfling::probe {

// action: "cancel" (its キャンセル button), "close" (the system menu's close), "dblclick:N" (a
// double-click on row N) or "dblclick-none" (a double-click while no row is current, then キャンセル
// if the chooser is still open).
void ActInChooser(HWND chooser, HWND list, const std::string& action);

}  // namespace wharfling::probe
