#pragma once
// What registering the module does besides COM's own keys: the shell-extension approval value and
// the empty Send To file, then the module's registry script.

#include <windows.h>

namespace wharfling::shell {

inline constexpr const char* kApprovedKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
inline constexpr const char* kApprovalData = "Harbormist";
inline constexpr const char* kSendToFileName = "upload Parvault.Wharfling";
inline constexpr int kRegistryScriptId = 102;

// Runs the registry script resource, registering or removing.
HRESULT RunRegistryScript(bool registering);

HRESULT RegisterModule();
HRESULT UnregisterModule();

}  // namespace wharfling::shell
