#pragma once
// Both programs share one profile, wharfling.ini. The desktop program kept its own,
// wharfling-desktop.ini, before; the first run that finds it takes over what only it holds.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/ini_settings_store.h"
#include "session/secret_store.h"

namespace wharfling::posix {

struct FormerProfile {
  std::filesystem::path path;         // empty when there is none
  bool merged = false;                // its values are in the shared profile, now or from before
  std::vector<std::string> problems;  // why it was not merged (it is tried again next time)
};

// When <folder>/wharfling-desktop.ini exists and the profile has not taken it over yet, copies
// into the profile, in one save, every value that only the former file holds (where both hold one,
// the profile's stays) and notes there that it was done, so it happens once; the former file is
// left as it is. A password that the former profile kept in the keyring comes along when the
// profile holds none for that destination and the ID it belongs to is the one the profile ends up
// with. Either keyring may be null.
FormerProfile MergeFormerDesktopProfile(IniSettingsStore& profile, SecretStore* formerKeyring,
                                        SecretStore* keyring);

// As above, with the former profile's keyring items found in the desktop keyring (when keyring is
// not null and a merge is due).
FormerProfile MergeFormerDesktopProfile(IniSettingsStore& profile, SecretStore* keyring);

// The former profile beside the profile, if there is one, and whether it was merged; changes nothing.
FormerProfile FindFormerDesktopProfile(IniSettingsStore& profile);

}  // namespace wharfling::posix
