#include "session/keyring_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "session/settings.h"
#include "tests/support/memory_settings_store.h"

namespace wharfling {
namespace {

using testing::MemorySettingsStore;

class FakeSecrets final : public SecretStore {
 public:
  std::optional<Text> Lookup(std::string_view valueName) override {
    const auto found = kept.find(std::string(valueName));
    return found == kept.end() ? std::nullopt : std::optional<Text>(found->second);
  }
  bool Store(std::string_view valueName, std::string_view password) override {
    if (refuse) return false;
    kept[std::string(valueName)] = Text(password);
    return true;
  }
  std::map<std::string, Text> kept;
  bool refuse = false;
};

struct KeyringCase {
  std::string name;
  std::optional<int> keyringMode;        // "Mode"/"keyring", absent when none
  bool haveKeyring = true;               // a Secret Service to keep passwords in
  bool keyringRefuses = false;           // it does not keep them
  std::optional<std::string> inProfile;  // the password the profile holds before the save
  std::optional<std::string> inKeyring;  // the password the keyring holds before the save
  std::string readsAs;                   // the password the dialog starts with
  bool savedToKeyring = false;           // after saving "new": in the keyring, none in the profile
};

class KeyringSettingsTest : public ::testing::TestWithParam<KeyringCase> {};

TEST_P(KeyringSettingsTest, PasswordLivesWhereTheProfileAndTheDesktopAllow) {
  const KeyringCase& c = GetParam();
  MemorySettingsStore profile;
  FakeSecrets secrets;
  secrets.refuse = c.keyringRefuses;
  profile.values[{"Settings", "Select001"}] = 2;
  profile.values[{"Settings", "Id002"}] = Text("alice");
  if (c.keyringMode) profile.values[{"Mode", "keyring"}] = *c.keyringMode;
  if (c.inProfile) profile.values[{"Settings", "Pw002"}] = Text(*c.inProfile);
  if (c.inKeyring) secrets.kept["Pw002"] = Text(*c.inKeyring);
  KeyringSettings settings(profile, c.haveKeyring ? &secrets : nullptr);

  DialogSettings dialog;
  LoadSettings(settings, EndpointTable::Defaults(), dialog);
  EXPECT_EQ(dialog.account.password, c.readsAs);
  EXPECT_EQ(dialog.account.id, "alice");
  EXPECT_EQ(settings.usingKeyring(), c.haveKeyring && c.keyringMode.value_or(1) != 0);

  dialog.account.password = "new";
  SaveSettings(settings, dialog, /*selectionOnly=*/false);
  EXPECT_EQ(profile.ReadText("Settings", "Id002"), Text("alice")) << "the ID stays in the profile";
  if (c.savedToKeyring) {
    EXPECT_EQ(secrets.kept.at("Pw002"), "new");
    EXPECT_FALSE(profile.ReadText("Settings", "Pw002")) << "the profile holds no password value";
  } else {
    EXPECT_EQ(profile.ReadText("Settings", "Pw002"), Text("new"));
    EXPECT_EQ(secrets.kept.count("Pw002") ? secrets.kept.at("Pw002") : Text(), c.inKeyring.value_or(""));
  }
  DialogSettings reloaded;
  LoadSettings(settings, EndpointTable::Defaults(), reloaded);
  EXPECT_EQ(reloaded.account.password, "new") << "round trip";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyringSettingsTest,
    ::testing::Values(
        KeyringCase{"FreshProfileSavesToTheKeyring", {}, true, false, {}, {}, "", true},
        KeyringCase{"ProfilePasswordMovesAtTheNextSave", {}, true, false, "old", {}, "old", true},
        KeyringCase{"KeyringWinsOverAStaleProfileValue", 1, true, false, "stale", "kept", "kept", true},
        KeyringCase{"KeyringZeroKeepsTheFile", 0, true, false, "old", {}, "old", false},
        KeyringCase{"KeyringZeroIgnoresWhatTheKeyringHolds", 0, true, false, "old", "kept", "old", false},
        KeyringCase{"NoSecretServiceKeepsTheFile", {}, false, false, "old", {}, "old", false},
        KeyringCase{"RefusedByTheKeyringStaysInTheFile", {}, true, true, "old", {}, "old", false}),
    [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace wharfling
