#pragma once
// The profile with the destinations' passwords kept in a SecretStore instead, under the ID they
// belong to. A password value reads from the store (for the ID the profile holds), or from the
// profile while it still holds one; a saved password goes to the store and leaves the profile in
// the save that writes its ID, so a password written there earlier moves at the next save. With no
// store, or "Mode"/"keyring" = 0, every value stays in the profile.

#include "session/secret_store.h"
#include "session/settings_store.h"

namespace wharfling {

inline constexpr std::string_view kKeyringValue = "keyring";

// Whether the profile lets passwords go to the keyring ("Mode"/"keyring" absent or not 0).
bool KeyringAllowed(SettingsStore& profile);

class KeyringSettings final : public SettingsStore {
 public:
  // secrets may be null: no keyring.
  KeyringSettings(SettingsStore& profile, SecretStore* secrets) : profile_(profile), secrets_(secrets) {}

  // Whether passwords go to the keyring now.
  bool usingKeyring();

  std::optional<std::int32_t> ReadInt(std::string_view section, std::string_view name) override;
  std::optional<Text> ReadText(std::string_view section, std::string_view name) override;
  void WriteInt(std::string_view section, std::string_view name, std::int32_t value) override;
  void WriteText(std::string_view section, std::string_view name, std::string_view value) override;
  void RemoveValue(std::string_view section, std::string_view name) override;
  void Apply(const std::vector<SettingChange>& changes) override;

 private:
  SettingsStore& profile_;
  SecretStore* secrets_;
};

}  // namespace wharfling
