// The upload dialog's own input under Wine, as a keyboard gives it: the account typed key by key
// (corrections, a paste, a character beyond ASCII) and signing in with it, the destination button
// following the account keystroke by keystroke, and Enter, which ends the dialog through its hidden
// OK without an upload or a save.

#include <filesystem>

#include "tests/support/fake_parvault.h"
#include "tests/support/temp_dir.h"
#include "tests/wine/wine_test.h"

namespace wharfling::testing {
namespace {

class DialogInputTest : public WineTest {
 protected:
  void SetUp() override {
    WineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    RegisterModule();
    ForgetSettings();
    photo_ = WineSession::WindowsPath(photos_.WriteFile("photo.jpg", "12345"));
  }

  ProbeOutput Drop(const std::vector<std::string>& options) {
    std::vector<std::string> args = {"drop", "--setting", "Settings/Select001=#1", "--setting",
                                     "Settings/Url001=http://127.0.0.1:" + std::to_string(site_.PlainPort())};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"--", photo_});
    return wine().Probe(args).output;
  }

  std::vector<std::string> SavedSettings() {
    return wine().Probe({"regdump", "HKCU\\Software\\Ferrowind\\wharfling\\Settings"}).output.All("value");
  }

  FakeParvault site_{"www.parvault.example", ""};
  TempDir photos_;
  std::string photo_;
};

TEST_F(DialogInputTest, AnAccountTypedKeyByKeyReadsBackAsTypedAndSignsIn) {
  site_.SetAccount("alice", "secret\x93\xFA");              // "secret日" in CP932
  const auto run = Drop({"--id", "alxce{LEFT}{LEFT}{BS}i",  // a correction in the middle
                         "--password", "s{PASTE:ecr}et日", "--press"});
  EXPECT_EQ(run["typed.id"], "alice");
  EXPECT_EQ(run["typed.password"], "secret日");
  EXPECT_EQ(run["typed.button"], "Parvault visible enabled");
  EXPECT_EQ(run.All("done.row"), std::vector<std::string>{"photo.jpg|5|成功"}) << "signed in and uploaded";
  EXPECT_EQ(site_.LoginForms(), std::vector<int>{1});
  EXPECT_EQ(site_.Uploads().size(), 1u);
}

// After each key: the edit's text as the dialog wrote it back from its member, and the button's state.
struct KeyByKeyCase {
  const char* what;
  std::string photoBytes;  // none: the run is blocked
  std::vector<std::string> options;
  std::vector<std::string> afterEachKey;
};

TEST_F(DialogInputTest, TheDestinationButtonShowsWhileBothAccountTextsHoldSomething) {
  const std::vector<KeyByKeyCase> cases = {
      {"the password completes the account",
       "12345",
       {"--id", "al", "--password", "s{BS}{PASTE:pw}"},
       {"a|hidden enabled", "al|hidden enabled", "s|visible enabled", "|hidden enabled",
        "pw|visible enabled"}},
      {"the ID completes a stored password",
       "12345",
       {"--setting", "Settings/ParvaultW=pw", "--id", "a{LEFT}{BS}{RIGHT}{BS}b"},
       {"a|visible enabled", "a|visible enabled", "a|visible enabled", "a|visible enabled", "|hidden enabled",
        "b|visible enabled"}},
      {"a blocked run's button shows but stays disabled",
       "",
       {"--id", "a", "--password", "p{BS}"},
       {"a|hidden disabled", "p|visible disabled", "|hidden disabled"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ForgetSettings();
    photo_ = WineSession::WindowsPath(photos_.WriteFile("photo.jpg", c.photoBytes));
    EXPECT_EQ(Drop(c.options).All("keystroke"), c.afterEachKey);
  }
}

TEST_F(DialogInputTest, ACharacterTheCodePageLacksShowsAsSentAndTypingGoesOnAfterIt) {
  const auto run = Drop({"--id", "ab\u00E9cd", "--password", "pw"});
  // The code page's best fit (e for é) replaces it in the edit, which keeps the caret after it.
  EXPECT_EQ(run["typed.id"], "abecd");
}

TEST_F(DialogInputTest, EnterEndsTheDialogWithoutUploadOrSave) {
  const auto run = Drop({"--id", "alice", "--password", "secret", "--enter"});
  EXPECT_EQ(run["typed.button"], "Parvault visible enabled");
  EXPECT_EQ(run["enter"], "dialog closed");
  EXPECT_EQ(run["drop.hr"], "0x00000000");
  EXPECT_TRUE(site_.LoginForms().empty());
  EXPECT_TRUE(site_.Uploads().empty());
  EXPECT_EQ(SavedSettings(), (std::vector<std::string>{
                                 "Software\\Ferrowind\\wharfling\\Settings|Select001|REG_DWORD|1",
                                 "Software\\Ferrowind\\wharfling\\Settings|Url001|REG_SZ|http://127.0.0.1:" +
                                     std::to_string(site_.PlainPort())}))
      << "only what the test wrote";
}

}  // namespace
}  // namespace wharfling::testing
