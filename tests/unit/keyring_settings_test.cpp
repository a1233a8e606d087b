#include "session/keyring_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "session/settings.h"
#include "tests/support/memory_settings_store.h"

namespace wharfling {
namespace {

using testing::MemorySettingsStore;

using Item = std::pair<std::string, Text>;  // value name, ID

class FakeSecrets final : public SecretStore {
 public:
  std::optional<Text> Lookup(std::string_view valueName, std::string_view account) override {
    const auto found = kept.find(Item(valueName, account));
    return found == kept.end() ? std::nullopt : std::optional<Text>(found->second);
  }
  bool Store(std::string_view valueName, std::string_view account, std::string_view password) override {
    if (refuse) return false;
    kept[Item(valueName, account)] = Text(password);
    return true;
  }
  std::map<Item, Text> kept;
  bool refuse = false;
};

struct KeyringCase {
  std::string name;
  std::optional<int> keyringMode;        // "Mode"/"keyring", absent when none
  bool haveKeyring = true;               // a Secret Service to keep passwords in
  bool keyringRefuses = false;           // it does not keep them
  std::optional<std::string> inProfile;  // the password the profile holds before the save
  std::optional<std::string> inKeyring;  // the password the keyring holds before the save, for alice
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
  if (c.inKeyring) secrets.kept[{"Pw002", "alice"}] = Text(*c.inKeyring);
  secrets.kept[{"Pw002", "bob"}] = "bob's";  // another ID's password is never read for alice
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
    EXPECT_EQ(secrets.kept.at({"Pw002", "alice"}), "new");
    EXPECT_FALSE(profile.ReadText("Settings", "Pw002")) << "the profile holds no password value";
  } else {
    EXPECT_EQ(profile.ReadText("Settings", "Pw002"), Text("new"));
    EXPECT_EQ(secrets.kept.count({"Pw002", "alice"}) ? secrets.kept.at({"Pw002", "alice"}) : Text(),
              c.inKeyring.value_or(""));
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

// A save of a new ID and password that stops after the keyring took the password (the process was
// killed before the profile was replaced) leaves the old account whole: the old ID, its own password.
TEST(KeyringSettings, ASaveCutShortAfterTheKeyringLeavesTheOldAccount) {
  MemorySettingsStore profile;
  FakeSecrets secrets;
  profile.values[{"Settings", "Select001"}] = 2;
  profile.values[{"Settings", "Id002"}] = Text("alice");
  secrets.kept[{"Pw002", "alice"}] = "alice's";
  KeyringSettings settings(profile, &secrets);
  DialogSettings dialog;
  LoadSettings(settings, EndpointTable::Defaults(), dialog);
  dialog.account = {2, "bob", "bob's", 0, "", 0};

  const auto before = profile.values;
  SaveSettings(settings, dialog, /*selectionOnly=*/false);
  EXPECT_EQ(profile.writes,
            (std::vector<std::string>{"Settings/Select001", "Settings/Id002", "-Settings/Pw002"}));
  EXPECT_EQ(secrets.kept.at({"Pw002", "bob"}), "bob's");
  DialogSettings saved;
  LoadSettings(settings, EndpointTable::Defaults(), saved);
  EXPECT_EQ(saved.account.id + "/" + saved.account.password, "bob/bob's");

  profile.values = before;  // the profile as it was: its replacement never happened
  DialogSettings cutShort;
  LoadSettings(settings, EndpointTable::Defaults(), cutShort);
  EXPECT_EQ(cutShort.account.id + "/" + cutShort.account.password, "alice/alice's");
}

}  // namespace
}  // namespace wharfling
