#include "session/keyring_settings.h"

#include "session/settings.h"
#include "session/site_catalogue.h"

namespace wharfling {
namespace {

// The catalogue row whose password value this is.
const SiteInfo* PasswordRow(std::string_view section, std::string_view name) {
  if (section != kSettingsSection) return nullptr;
  for (std::int32_t site = 1; site <= kSiteCount; ++site) {
    if (CatalogueRow(site).passwordValue == name) return &CatalogueRow(site);
  }
  return nullptr;
}

}  // namespace

bool KeyringAllowed(SettingsStore& profile) {
  return profile.ReadInt(kModeSection, kKeyringValue).value_or(1) != 0;
}

bool KeyringSettings::usingKeyring() { return secrets_ != nullptr && KeyringAllowed(profile_); }

std::optional<std::int32_t> KeyringSettings::ReadInt(std::string_view section, std::string_view name) {
  return profile_.ReadInt(section, name);
}

std::optional<Text> KeyringSettings::ReadText(std::string_view section, std::string_view name) {
  if (const SiteInfo* row = PasswordRow(section, name); row != nullptr && usingKeyring()) {
    const Text id = profile_.ReadText(kSettingsSection, row->idValue).value_or(Text());
    if (auto kept = secrets_->Lookup(name, id)) return kept;
  }
  return profile_.ReadText(section, name);
}

void KeyringSettings::WriteInt(std::string_view section, std::string_view name, std::int32_t value) {
  Apply({SettingChange::Int(section, name, value)});
}

void KeyringSettings::WriteText(std::string_view section, std::string_view name, std::string_view value) {
  Apply({SettingChange::String(section, name, value)});
}

void KeyringSettings::RemoveValue(std::string_view section, std::string_view name) {
  Apply({SettingChange::Removal(section, name)});
}

void KeyringSettings::Apply(const std::vector<SettingChange>& changes) {
  if (!usingKeyring()) {
    profile_.Apply(changes);
    return;
  }
  // Each password goes to the keyring under the ID it is saved with, then leaves the profile in the
  // same save as that ID: a save cut short between the two leaves the old ID, which still finds its
  // own password.
  std::vector<SettingChange> profileChanges = changes;
  for (SettingChange& change : profileChanges) {
    const SiteInfo* row = PasswordRow(change.section, change.name);
    if (row == nullptr || change.kind != SettingChange::Kind::kText) continue;
    Text id = profile_.ReadText(kSettingsSection, row->idValue).value_or(Text());
    for (const SettingChange& other : changes) {
      if (other.kind == SettingChange::Kind::kText && other.section == kSettingsSection &&
          other.name == row->idValue)
        id = other.text;
    }
    // A password the keyring refuses stays where it was always kept, rather than be lost.
    if (secrets_->Store(change.name, id, change.text))
      change = SettingChange::Removal(change.section, change.name);
  }
  profile_.Apply(profileChanges);
}

}  // namespace wharfling
