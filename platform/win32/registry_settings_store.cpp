#include "platform/win32/registry_settings_store.h"

#include <windows.h>
// after windows.h, which it needs
#include <shlwapi.h>

#include "platform/win32/wide_text.h"

namespace wharfling::win32 {
namespace {

// A registry key open for one operation.
class Key {
 public:
  Key(const std::wstring& path, bool create) {
    const LONG error = create
                           ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                             REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key_, nullptr)
                           : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key_);
    if (error != ERROR_SUCCESS) key_ = nullptr;
  }
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(std::string profile) : profile_(std::move(profile)) {}

std::wstring RegistrySettingsStore::SectionKey(std::string_view section) const {
  return L"Software\\" + Cp932ToWide(kCompanyKey) + L"\\" + Cp932ToWide(profile_) + L"\\" +
         Cp932ToWide(section);
}

std::optional<std::int32_t> RegistrySettingsStore::ReadInt(std::string_view section, std::string_view name) {
  Key key(SectionKey(section), false);
  if (key.get() == nullptr) return std::nullopt;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExW(key.get(), Cp932ToWide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::optional<Text> RegistrySettingsStore::ReadText(std::string_view section, std::string_view name) {
  Key key(SectionKey(section), false);
  if (key.get() == nullptr) return std::nullopt;
  const std::wstring valueName = Cp932ToWide(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  DWORD read = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                       &read) != ERROR_SUCCESS)
    return std::nullopt;
  // The stored data may or may not carry its terminating zero.
  text.resize(read / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return WideToCp932(text);
}

void RegistrySettingsStore::WriteInt(std::string_view section, std::string_view name, std::int32_t value) {
  Key key(SectionKey(section), true);
  if (key.get() == nullptr) return;
  const DWORD data = static_cast<DWORD>(value);
  RegSetValueExW(key.get(), Cp932ToWide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                 sizeof data);
}

void RegistrySettingsStore::WriteText(std::string_view section, std::string_view name,
                                      std::string_view value) {
  Key key(SectionKey(section), true);
  if (key.get() == nullptr) return;
  const std::wstring data = Cp932ToWide(value);
  RegSetValueExW(key.get(), Cp932ToWide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

void RegistrySettingsStore::RemoveValue(std::string_view section, std::string_view name) {
  // No key is created for a value that is not there.
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SectionKey(section).c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  RegDeleteValueW(key, Cp932ToWide(name).c_str());
  RegCloseKey(key);
}

std::string ProfileNameOf(std::string_view modulePath) {
  // The shell's path helpers step over double-byte characters, whose trail byte may be a backslash.
  std::string path(modulePath);
  std::string name = PathFindFileNameA(path.c_str());
  PathRemoveExtensionA(name.data());
  name.resize(std::char_traits<char>::length(name.c_str()));
  return name;
}

}  // namespace wharfling::win32
