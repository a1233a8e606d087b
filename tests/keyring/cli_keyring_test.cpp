// wharfling with a Secret Service on the session bus (a private gnome-keyring, see
// run_in_private_keyring.sh): passwords go to the keyring and leave the profile, unless keyring=0.

#include <gtest/gtest.h>
#include <libsecret/secret.h>

#include <fstream>

#include "tests/support/command_run.h"
#include "tests/support/file_inspection.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

struct KeyringCase {
  std::string name;
  std::string profileBefore;
  std::string passwordInput;  // for --password-stdin, or none
  std::string profileAfter;
  std::string passwordsLine;  // what `wharfling config` says
};

class WithProfile {
 protected:
  CommandResult Wharfling(const std::string& arguments, const std::string* input = nullptr) {
    return RunCommand("WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()) +
                          " WHARFLING_CONNECT_TO=" + ShellQuote(site.ConnectTo("www.parvault.example")),
                      WHARFLING_CLI, arguments, input);
  }
  std::string Profile() const {
    std::ifstream in(dir.path() / "config" / "wharfling.ini");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  TempDir dir;
  // The shipped server in the service's place (destination 1), with alice's and bob's accounts.
  ParvaultTestServer site{{server::MakeAccount("bob", "secret")}};
  std::size_t Stored(std::string_view user) const { return FolderNames(site.folderOf(user)).size(); }
};

class KeyringCli : public WithProfile, public ::testing::TestWithParam<KeyringCase> {};
class NoSecretService : public WithProfile, public ::testing::Test {};

// Run on a session bus where nothing owns the Secret Service's name.
TEST_F(NoSecretService, PasswordsStayInTheProfile) {
  const std::string password = "secret\n";
  const auto run = Wharfling(
      "upload --id alice --password-stdin " + ShellQuote(dir.WriteFile("a.jpg", "photo")), &password);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Profile(), "[Settings]\nSelect001=1\nParvaultD=alice\nParvaultW=secret\n");
  EXPECT_NE(Wharfling("config").out.find("passwords  profile file (no Secret Service on the session bus)\n"),
            std::string::npos);
}

TEST_P(KeyringCli, PasswordIsKeptWhereTheProfileAllowsAndReadBack) {
  const KeyringCase& c = GetParam();
  dir.WriteFile("config/wharfling.ini", c.profileBefore);
  const std::string photo = ShellQuote(dir.WriteFile("a.jpg", "photo"));
  const std::string withPassword = c.passwordInput.empty() ? "" : "--id alice --password-stdin ";
  const auto first =
      Wharfling("upload " + withPassword + photo, c.passwordInput.empty() ? nullptr : &c.passwordInput);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(Profile(), c.profileAfter);

  const auto again = Wharfling("upload " + photo);
  EXPECT_EQ(again.status, 0) << "the saved password signs in again: " << again.err;
  EXPECT_EQ(Stored("alice"), 2u);

  const auto config = Wharfling("config");
  EXPECT_NE(config.out.find("passwords  " + c.passwordsLine + "\n"), std::string::npos) << config.out;
}

const std::string kKeyring = "desktop keyring (Secret Service)";

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyringCli,
    ::testing::Values(
        KeyringCase{"RoundTrip", "", "secret\n", "[Settings]\nSelect001=1\nParvaultD=alice\n", kKeyring},
        KeyringCase{"ProfilePasswordMovesAtTheNextSave", "[Settings]\nParvaultD=alice\nParvaultW=secret\n",
                    "", "[Settings]\nParvaultD=alice\nSelect001=1\n", kKeyring},
        KeyringCase{"KeyringZeroStaysInTheFile", "[Mode]\nkeyring=0\n", "secret\n",
                    "[Mode]\nkeyring=0\n\n[Settings]\nSelect001=1\nParvaultD=alice\nParvaultW=secret\n",
                    "profile file ([Mode] keyring=0)"}),
    [](const auto& param) { return param.param.name; });

// An item as builds that did not record the ID kept it: the profile file's path and the value name.
bool StoreUnrecordedItem(const std::string& profile, const char* value, const char* password) {
  SecretSchema schema{};
  schema.name = "com.ferrowind.Wharfling.Password";
  schema.attributes[0] = {"profile", SECRET_SCHEMA_ATTRIBUTE_STRING};
  schema.attributes[1] = {"value", SECRET_SCHEMA_ATTRIBUTE_STRING};
  GError* error = nullptr;
  const gboolean stored =
      secret_password_store_sync(&schema, SECRET_COLLECTION_DEFAULT, "older item", password, nullptr, &error,
                                 "profile", profile.c_str(), "value", value, nullptr);
  g_clear_error(&error);
  return stored != FALSE;
}

class OlderItems : public WithProfile, public ::testing::Test {};

// The desktop program's former profile and its keyring item: the terminal program merges both and
// signs in with that password.
TEST_F(OlderItems, TheDesktopProgramsPasswordComesAlong) {
  const auto former = dir.path() / "config" / "wharfling-desktop.ini";
  dir.WriteFile("config/wharfling-desktop.ini", "[Settings]\nParvaultD=alice\n");
  ASSERT_TRUE(StoreUnrecordedItem(former.string(), "ParvaultW", "secret"));
  const auto run = Wharfling("upload " + ShellQuote(dir.WriteFile("a.jpg", "photo")));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Profile(),
            "[Settings]\nParvaultD=alice\nSelect001=1\n\n[Profile]\nMergedFrom=wharfling-desktop.ini\n");
}

// An item kept before IDs were recorded serves until a save records the ID; from then on it is never
// read for another ID.
TEST_F(OlderItems, AnItemWithoutItsIdServesUntilTheIdIsRecorded) {
  dir.WriteFile("config/wharfling.ini", "[Settings]\nParvaultD=alice\n");
  ASSERT_TRUE(StoreUnrecordedItem((dir.path() / "config" / "wharfling.ini").string(), "ParvaultW", "secret"));
  const std::string photo = ShellQuote(dir.WriteFile("a.jpg", "photo"));
  const auto alice = Wharfling("upload " + photo);
  ASSERT_EQ(alice.status, 0) << alice.err;

  dir.WriteFile("config/wharfling.ini", "[Settings]\nParvaultD=bob\n");
  const auto bob = Wharfling("upload " + photo);
  EXPECT_NE(bob.status, 0) << "the password kept for alice was read for bob";
  EXPECT_EQ(Stored("alice"), 1u);
  EXPECT_EQ(Stored("bob"), 0u);
}

}  // namespace
}  // namespace wharfling::testing
