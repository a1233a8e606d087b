#pragma once
// The application profile in the registry: HKEY_CURRENT_USER\Software\<company>\<profile>\<section>,
// integers as REG_DWORD and texts as REG_SZ. Reading never creates a key, so nothing is written
// before the first save.

#include <string>

#include "session/settings_store.h"

namespace wharfling::win32 {

inline constexpr std::string_view kCompanyKey = "Ferrowind";

class RegistrySettingsStore final : public SettingsStore {
 public:
  // profile: the module's file name without its extension.
  explicit RegistrySettingsStore(std::string profile);

  std::optional<std::int32_t> ReadInt(std::string_view section, std::string_view name) override;
  std::optional<Text> ReadText(std::string_view section, std::string_view name) override;
  void WriteInt(std::string_view section, std::string_view name, std::int32_t value) override;
  void WriteText(std::string_view section, std::string_view name, std::string_view value) override;
  void RemoveValue(std::string_view section, std::string_view name) override;

 private:
  std::wstring SectionKey(std::string_view section) const;

  std::string profile_;
};

// The profile name of a module: its file name without the extension.
std::string ProfileNameOf(std::string_view modulePath);

}  // namespace wharfling::win32
