#include "shell/win32_registry_ops.h"

#include <windows.h>

#include <utility>

namespace wharfling::shell {
namespace {

HKEY RootKey(std::string_view name) {
  static const std::pair<std::string_view, HKEY> kRoots[] = {
      {"HKCR", HKEY_CLASSES_ROOT},  {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKCU", HKEY_CURRENT_USER},  {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKU", HKEY_USERS},          {"HKEY_USERS", HKEY_USERS},
  };
  for (const auto& [text, key] : kRoots) {
    if (text == name) return key;
  }
  return nullptr;
}

std::int32_t FromWin32(LONG error) { return error == ERROR_SUCCESS ? 0 : HRESULT_FROM_WIN32(error); }

// An open key, closed with its scope.
class OpenKey {
 public:
  OpenKey(std::string_view root, const std::string& path, REGSAM access) {
    error_ = RegOpenKeyExA(RootKey(root), path.c_str(), 0, access, &key_);
  }
  ~OpenKey() {
    if (error_ == ERROR_SUCCESS) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  bool ok() const { return error_ == ERROR_SUCCESS; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
  LONG error_ = ERROR_INVALID_HANDLE;
};

}  // namespace

bool Win32RegistryOps::IsKnownRoot(std::string_view root) const { return RootKey(root) != nullptr; }

std::int32_t Win32RegistryOps::CreateKey(std::string_view root, const std::string& path) {
  HKEY key = nullptr;
  const LONG error = RegCreateKeyExA(RootKey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_WRITE, nullptr, &key, nullptr);
  if (error == ERROR_SUCCESS) RegCloseKey(key);
  return FromWin32(error);
}

std::int32_t Win32RegistryOps::SetValue(std::string_view root, const std::string& path,
                                        const std::string& name, const ScriptValue& value) {
  OpenKey key(root, path, KEY_SET_VALUE);
  if (!key.ok()) return FromWin32(ERROR_FILE_NOT_FOUND);
  const char* valueName = name.empty() ? nullptr : name.c_str();
  if (value.type == ScriptValue::Type::kDword) {
    const DWORD data = value.dword;
    return FromWin32(RegSetValueExA(key.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                    sizeof data));
  }
  return FromWin32(RegSetValueExA(key.get(), valueName, 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.text.c_str()),
                                  static_cast<DWORD>(value.text.size() + 1)));
}

bool Win32RegistryOps::KeyExists(std::string_view root, const std::string& path) {
  return OpenKey(root, path, KEY_READ).ok();
}

std::int32_t Win32RegistryOps::DeleteTree(std::string_view root, const std::string& path) {
  const LONG error = RegDeleteTreeA(RootKey(root), path.c_str());
  return error == ERROR_FILE_NOT_FOUND ? 0 : FromWin32(error);
}

void Win32RegistryOps::DeleteKeyIfLeaf(std::string_view root, const std::string& path) {
  // RegDeleteKey refuses a key that still has sub-keys, which is what leaves it in place.
  RegDeleteKeyA(RootKey(root), path.c_str());
}

void Win32RegistryOps::DeleteValue(std::string_view root, const std::string& path, const std::string& name) {
  OpenKey key(root, path, KEY_SET_VALUE);
  if (key.ok()) RegDeleteValueA(key.get(), name.c_str());
}

}  // namespace wharfling::shell
