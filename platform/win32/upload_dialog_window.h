#pragma once
// The upload dialog as a Windows dialog: template 201 run modally around the core's UploadDialog,
// with the registry profile, WinINet and the module's name as the application's name.

#include <windows.h>

#include <string>
#include <vector>

namespace wharfling::win32 {

// Runs the dialog over the dropped paths and returns when the user closes it. module: the module
// that holds the templates and whose file name names the profile.
void RunUploadDialog(HINSTANCE module, const std::vector<std::string>& droppedPaths);

}  // namespace wharfling::win32
