#include "shell/registration.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "shell/class_id.h"
#include "shell/module.h"
#include "shell/registrar.h"
#include "shell/win32_registry_ops.h"

namespace wharfling::shell {
namespace {

bool IsNtFamily() { return (GetVersion() & 0x80000000u) == 0; }

// The script resource as text; empty when the module has none.
std::string RegistryScriptText() {
  const HMODULE module = ModuleInstance();
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(kRegistryScriptId), "REGISTRY");
  if (resource == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, resource);
  const auto* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return {};
  return std::string(bytes, SizeofResource(module, resource));
}

// Runs action with the full path of the Send To file; nothing when the folder cannot be found.
template <typename Action>
void WithSendToFile(Action action) {
  LPITEMIDLIST folder = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_SENDTO, &folder))) return;
  char path[MAX_PATH] = {};
  if (SHGetPathFromIDListA(folder, path) && PathAppendA(path, kSendToFileName)) action(path);
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator))) {
    allocator->Free(folder);
    allocator->Release();
  }
}

}  // namespace

HRESULT RunRegistryScript(bool registering) {
  const ParsedScript script = ParseRegistryScript(RegistryScriptText(), {{"MODULE", ModulePath()}});
  Win32RegistryOps registry;
  return registering ? RegisterScript(script, registry) : UnregisterScript(script, registry);
}

HRESULT RegisterModule() {
  if (IsNtFamily()) {
    HKEY approved = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, &approved) != ERROR_SUCCESS)
      return E_ACCESSDENIED;
    const LONG written = RegSetValueExA(
        approved, kDropHandlerClassIdText, 0, REG_SZ, reinterpret_cast<const BYTE*>(kApprovalData),
        static_cast<DWORD>(std::char_traits<char>::length(kApprovalData) + 1));
    RegCloseKey(approved);
    if (written != ERROR_SUCCESS) return E_ACCESSDENIED;
  }
  WithSendToFile([](const char* path) {
    const HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  });
  return RunRegistryScript(true);
}

HRESULT UnregisterModule() {
  if (IsNtFamily()) {
    HKEY approved = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, &approved) == ERROR_SUCCESS) {
      RegDeleteValueA(approved, kDropHandlerClassIdText);
      RegCloseKey(approved);
    }
  }
  WithSendToFile([](const char* path) { DeleteFileA(path); });
  return RunRegistryScript(false);
}

}  // namespace wharfling::shell
