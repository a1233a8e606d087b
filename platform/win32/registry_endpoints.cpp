#include "platform/win32/registry_endpoints.h"

#include <windows.h>

#include "platform/win32/registry_settings_store.h"
#include "platform/win32/wide_text.h"

namespace wharfling::win32 {

void LoadRegistryEndpoints(const std::string& profile, EndpointTable& table) {
  const std::wstring path =
      L"Software\\" + Cp932ToWide(kCompanyKey) + L"\\" + Cp932ToWide(profile) + L"\\Endpoints";
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};
    wchar_t data[512] = {};
    DWORD nameLength = 256;
    DWORD dataSize = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    table.Override(WideToCp932(name), WideToCp932(data));
  }
  RegCloseKey(key);
}

}  // namespace wharfling::win32
