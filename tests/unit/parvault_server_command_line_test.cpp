// Accounts on parvault-server's command line: every --user with its own password is an account.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/accounts/accounts.h"
#include "server/command_line.h"
#include "tests/support/temp_dir.h"

namespace wharfling::server {
namespace {

using ::wharfling::testing::TempDir;

TEST(CommandLineAccountsTest, EachUserWithItsPasswordIsOneAccount) {
  TempDir dir;
  const std::string fileA = dir.WriteFile("a.pw", "alice-secret\n");
  const std::string fileB = dir.WriteFile("b.pw", "bob-secret\r\n");
  struct Case {
    std::vector<std::string_view> args;
    std::vector<std::pair<std::string, std::string>> accounts;  // name, password
  };
  const std::vector<Case> cases = {
      {{"--user", "alice", "--password-file", fileA, "--user", "bob", "--password-file", fileB},
       {{"alice", "alice-secret"}, {"bob", "bob-secret"}}},
      {{"--user=alice", "--password", "pw1", "--user=bob", "--password=pw2", "--user", "carol",
        "--password-file", fileB},
       {{"alice", "pw1"}, {"bob", "pw2"}, {"carol", "bob-secret"}}},
      {{"--password", "pw", "--user", "alice"}, {{"alice", "pw"}}},
  };
  for (const auto& c : cases) {
    CommandLine commandLine;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(c.args, commandLine, error)) << error;
    std::vector<Account> accounts;
    ASSERT_TRUE(CollectAccounts(commandLine, accounts, error)) << error;
    ASSERT_EQ(accounts.size(), c.accounts.size());
    for (std::size_t i = 0; i < accounts.size(); ++i) {
      EXPECT_EQ(accounts[i].name, c.accounts[i].first);
      EXPECT_EQ(accounts[i].hash,
                DerivePasswordHash(c.accounts[i].second, accounts[i].salt, accounts[i].iterations))
          << accounts[i].name << " has another's password";
    }
  }
}

TEST(CommandLineAccountsTest, AUserTwiceOrWithoutItsOwnPasswordIsAUsageError) {
  struct Case {
    std::vector<std::string_view> args;
    const char* error;
  };
  const std::vector<Case> cases = {
      {{"--user", "alice", "--password", "a", "--user", "alice", "--password", "b"},
       "--user alice is given twice"},
      {{"--user", "alice", "--password", "a", "--user", "bob"}, "each --user goes with one --password"},
      {{"--user", "alice", "--password", "a", "--password", "b"}, "each --user goes with one --password"},
  };
  for (const auto& c : cases) {
    CommandLine commandLine;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(c.args, commandLine, error)) << c.args[0];
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
}

TEST(CommandLineDatabaseTest, DatabaseCopyAndProxyTakeOnlyWhatTheyCanUse) {
  using Kind = state::DatabaseChoice::Kind;
  struct Case {
    std::vector<std::string_view> args;
    bool ok;
    const char* errorPart;  // on failure
  };
  const std::vector<Case> cases = {
      {{"--user", "a", "--password", "p", "--database", "postgresql://pv@db.example/photos"}, true, ""},
      {{"--user", "a", "--password", "p", "--database=sqlite:/srv/state.db"}, true, ""},
      {{"--user", "a", "--password", "p", "--database", "postgresql://pv:secret@db/photos"},
       false,
       "password"},
      {{"--user", "a", "--password", "p", "--database", "mysql://db/photos"}, false, "sqlite:PATH"},
      {{"--copy-database", "sqlite:/srv/state.db", "postgresql://pv@db/photos"}, true, ""},
      {{"--copy-database", "sqlite:/srv/state.db"}, false, "FROM TO"},
      {{"--copy-database", "sqlite:/a.db", "postgres://u:pw@db/p"}, false, "password"},
      {{"--copy-database", "sqlite:/a.db", "sqlite:/b.db", "--user", "a"}, false, "no other option"},
      {{"--user", "a", "--password", "p", "--trusted-proxy", "proxy.lan"}, false, "IP address"},
      {{"--user", "a", "--password", "p", "--trusted-proxy", "::ffff:10.0.0.5"}, true, ""},
  };
  for (const auto& c : cases) {
    CommandLine commandLine;
    std::string error;
    EXPECT_EQ(ParseCommandLine(c.args, commandLine, error), c.ok) << c.args.back() << ": " << error;
    if (!c.ok) {
      EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    }
  }
  CommandLine commandLine;
  std::string error;
  ASSERT_TRUE(ParseCommandLine(cases[4].args, commandLine, error)) << error;
  ASSERT_TRUE(commandLine.copyFrom && commandLine.copyTo);
  EXPECT_EQ(commandLine.copyFrom->sqliteFile, "/srv/state.db");
  EXPECT_EQ(commandLine.copyTo->kind, Kind::kPostgres);
  CommandLine serving;
  ASSERT_TRUE(ParseCommandLine(cases[0].args, serving, error)) << error;
  ASSERT_TRUE(serving.database);
  EXPECT_EQ(serving.database->conninfo, "postgresql://pv@db.example/photos");
  CommandLine proxied;
  ASSERT_TRUE(ParseCommandLine(cases.back().args, proxied, error)) << error;
  EXPECT_EQ(proxied.options.limits.trustedProxy, "10.0.0.5") << "compared as the engine writes a peer";
}

}  // namespace
}  // namespace wharfling::server
