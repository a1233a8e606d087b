#include "session/settings.h"

#include "session/keyring_settings.h"
#include "session/site_catalogue.h"

namespace wharfling {

std::vector<ProfileInteger> ProfileIntegers() {
  std::vector<ProfileInteger> integers = {
      {kSettingsSection, "Select001"}, {kModeSection, "multi"},
      {kModeSection, "rule"},          {kModeSection, "fit"},
      {kModeSection, "nolocation"},    {kModeSection, std::string(kKeyringValue)},
  };
  for (int site = 1; site <= kSiteCount; ++site) {
    const SiteInfo& row = CatalogueRow(site);
    integers.push_back({kSettingsSection, NumberedValueName("Uid", site)});
    integers.push_back({kSettingsSection, NumberedValueName("Type", site)});
    integers.push_back({kSettingsSection, std::string(row.maxSizeValue), true});
  }
  return integers;
}

void LoadSettings(SettingsStore& store, const EndpointTable& endpoints, DialogSettings& settings) {
  settings.siteIndex = store.ReadInt(kSettingsSection, "Select001").value_or(1);
  settings.chooseSiteAtStart = store.ReadInt(kModeSection, "multi").value_or(0);
  settings.maxFilesPerRun = store.ReadInt(kModeSection, "rule").value_or(-1);
  settings.fit = store.ReadInt(kModeSection, "fit").value_or(0);
  settings.noLocation = store.ReadInt(kModeSection, "nolocation").value_or(0);

  const SiteInfo& row = CatalogueRow(settings.siteIndex);
  SiteAccount& account = settings.account;
  account.uid = store.ReadInt(kSettingsSection, NumberedValueName("Uid", row.index)).value_or(row.index);
  account.id = store.ReadText(kSettingsSection, row.idValue).value_or(Text());
  account.password = store.ReadText(kSettingsSection, row.passwordValue).value_or(Text());
  account.type = store.ReadInt(kSettingsSection, NumberedValueName("Type", row.index)).value_or(0);
  account.url = store.ReadText(kSettingsSection, NumberedValueName("Url", row.index))
                    .value_or(DefaultSiteUrl(row, endpoints));
  // The size limit is an unsigned 32-bit value stored in a 32-bit slot.
  account.maxFileSize =
      static_cast<std::uint32_t>(store.ReadInt(kSettingsSection, row.maxSizeValue)
                                     .value_or(static_cast<std::int32_t>(row.defaultMaxSize)));
}

void SaveSettings(SettingsStore& store, const DialogSettings& settings, bool selectionOnly) {
  std::vector<SettingChange> save{SettingChange::Int(kSettingsSection, "Select001", settings.siteIndex)};
  if (!selectionOnly) {
    const SiteInfo& row = CatalogueRow(settings.siteIndex);
    save.push_back(SettingChange::String(kSettingsSection, row.idValue, settings.account.id));
    save.push_back(SettingChange::String(kSettingsSection, row.passwordValue, settings.account.password));
  }
  store.Apply(save);
}

void SavePhotoOptions(SettingsStore& store, const DialogSettings& settings) {
  store.Apply({SettingChange::Int(kModeSection, "fit", settings.fit),
               SettingChange::Int(kModeSection, "nolocation", settings.noLocation)});
}

}  // namespace wharfling
