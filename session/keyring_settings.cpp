#include "session/keyring_settings.h"

#include "session/settings.h"
#include "session/site_catalogue.h"

namespace wharfling {
namespace {

bool IsPasswordValue(std::string_view section, std::string_view name) {
  if (section != kSettingsSection) return false;
  for (std::int32_t site = 1; site <= kSiteCount; ++site) {
    if (CatalogueRow(site).passwordValue == name) return true;
  }
  return false;
}

}  // namespace

bool KeyringAllowed(SettingsStore& profile) {
  return profile.ReadInt(kModeSection, kKeyringValue).value_or(1) != 0;
}

bool KeyringSettings::usingKeyring() { return secrets_ != nullptr && KeyringAllowed(profile_); }

bool KeyringSettings::KeptInKeyring(std::string_view section, std::string_view name) {
  return IsPasswordValue(section, name) && usingKeyring();
}

std::optional<std::int32_t> KeyringSettings::ReadInt(std::string_view section, std::string_view name) {
  return profile_.ReadInt(section, name);
}

std::optional<Text> KeyringSettings::ReadText(std::string_view section, std::string_view name) {
  if (KeptInKeyring(section, name)) {
    if (auto kept = secrets_->Lookup(name)) return kept;
  }
  return profile_.ReadText(section, name);
}

void KeyringSettings::WriteInt(std::string_view section, std::string_view name, std::int32_t value) {
  profile_.WriteInt(section, name, value);
}

void KeyringSettings::WriteText(std::string_view section, std::string_view name, std::string_view value) {
  // A password the keyring refuses stays where it was always kept, rather than be lost.
  if (KeptInKeyring(section, name) && secrets_->Store(name, value)) {
    profile_.RemoveValue(section, name);
    return;
  }
  profile_.WriteText(section, name, value);
}

void KeyringSettings::RemoveValue(std::string_view section, std::string_view name) {
  profile_.RemoveValue(section, name);
}

}  // namespace wharfling
