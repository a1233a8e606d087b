#pragma once
// The dialog's settings and the selected destination's account, read from and written to the
// application profile.

#include <cstdint>
#include <string>
#include <vector>

#include "session/endpoints.h"
#include "session/settings_store.h"
#include "text/text.h"

namespace wharfling {

inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kModeSection = "Mode";

struct SiteAccount {
  std::int32_t uid = 1;
  Text id;
  Text password;
  std::int32_t type = 0;
  Text url;
  std::uint32_t maxFileSize = 0;
};

struct DialogSettings {
  std::int32_t siteIndex = 1;  // kept as stored, even when out of range
  std::int32_t chooseSiteAtStart = 0;
  std::int32_t maxFilesPerRun = -1;
  // Opt-in changes to the bytes sent for a photo; the file on disk is never touched. 0 is off.
  std::int32_t fit = 0;         // JPEGs over the size limit are accepted and shrunk at upload
  std::int32_t noLocation = 0;  // GPS data is removed from every photo sent
  SiteAccount account;
};

// An integer value of the profile and its range: signed 32-bit, or unsigned 32-bit for a size limit.
struct ProfileInteger {
  std::string_view section;
  std::string name;
  bool isUnsigned = false;
};

// Every integer value the profile can hold, for stores that check them as they read the file.
std::vector<ProfileInteger> ProfileIntegers();

// Fills settings from the profile; absent values take their defaults. Cannot fail.
void LoadSettings(SettingsStore& store, const EndpointTable& endpoints, DialogSettings& settings);

// Writes the selection and, unless selectionOnly, the selected destination's ID and password.
void SaveSettings(SettingsStore& store, const DialogSettings& settings, bool selectionOnly);

// Writes the two photo options, fit and noLocation, as the dialog's check boxes leave them.
void SavePhotoOptions(SettingsStore& store, const DialogSettings& settings);

}  // namespace wharfling
