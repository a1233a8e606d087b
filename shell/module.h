#pragma once
// The module itself: its instance handle, its file, and the count of live objects and server locks
// that decides whether it may be unloaded.

#include <windows.h>

#include <string>

namespace wharfling::shell {

void SetModuleInstance(HINSTANCE instance);
HINSTANCE ModuleInstance();
// The module's full path, in the system code page.
std::string ModulePath();

// Live drop handlers plus class factory locks; changed atomically.
void LockModule();
void UnlockModule();
long ModuleLockCount();

}  // namespace wharfling::shell
