#pragma once
// Typing into an edit as a keyboard does, from another thread: one WM_CHAR per character, so the
// edit inserts at its caret and tells its dialog after every key.

#include <windows.h>

#include <functional>
#include <string>

namespace wharfling::probe {

// script: UTF-8 text typed character by character, with {BS} (Backspace), {LEFT}, {RIGHT}, {HOME},
// {END} (caret keys) and {PASTE:text} (text put on the clipboard, then Ctrl+V). afterKey, when
// given, runs once after each of them has been handled.
void TypeKeys(HWND edit, const std::string& script, const std::function<void()>& afterKey = {});

}  // namespace wharfling::probe
