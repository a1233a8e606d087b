#pragma once
// The desktop keyring on Linux: the Secret Service on the session bus (GNOME Keyring, KWallet's
// service), through libsecret. Each password is an item of the default collection, found by the
// profile's name and the password's value name. Every D-Bus call has a short time-out, so a bus
// that does not answer never holds up the program for long.

#include <memory>
#include <string>

#include "session/secret_store.h"
#include "session/settings_store.h"

namespace wharfling::posix {

struct SecretServiceConnection {
  std::unique_ptr<SecretStore> store;  // null when there is no Secret Service
  std::string absence;                 // why not, for the user
};

// Connects when a Secret Service runs on the session bus, or can be started there. profileId tells
// this profile's passwords from those of others (the profile file's path).
SecretServiceConnection ConnectSecretService(const std::string& profileId);

// The keyring for the profile's passwords, unless the profile says "Mode"/"keyring" = 0.
SecretServiceConnection OpenKeyringFor(SettingsStore& profile, const std::string& profileId);

// Where the passwords are kept, for the user: the keyring, or the profile and why.
std::string PasswordPlace(const SecretServiceConnection& keyring);

}  // namespace wharfling::posix
