// Accounts (hashing, the accounts file) and sessions of parvault-server.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "server/accounts/accounts.h"
#include "server/base/secure_random.h"
#include "tests/support/temp_dir.h"

namespace wharfling::server {
namespace {

TEST(PasswordHashTest, IsPbkdf2HmacSha256) {
  // RFC 7914, section 11, first 32 bytes of each PBKDF2-HMAC-SHA256 vector.
  EXPECT_EQ(ToHex(DerivePasswordHash("passwd", "salt", 1)),
            "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc");
  EXPECT_EQ(ToHex(DerivePasswordHash("password", "salt", 4096)),
            "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
}

TEST(AccountsTest, HashesTheCp932FormOfAUtf8Password) {
  // 山田 / 秘密 typed in UTF-8 are compared with what the uploader sends: their CP932 bytes.
  const Account account = MakeAccount("\xe5\xb1\xb1\xe7\x94\xb0", "\xe7\xa7\x98\xe5\xaf\x86");
  EXPECT_EQ(account.loginName, "\x8e\x52\x93\x63");
  EXPECT_EQ(account.hash, DerivePasswordHash("\x94\xe9\x96\xa7", account.salt, kPasswordHashIterations));
  AccountTable table;
  std::string error;
  ASSERT_TRUE(table.Add(account, error));
  EXPECT_NE(table.Verify("\x8e\x52\x93\x63", "\x94\xe9\x96\xa7"), nullptr);
  EXPECT_EQ(table.Verify("\x8e\x52\x93\x63", "\xe7\xa7\x98\xe5\xaf\x86"), nullptr);
}

TEST(AccountsTest, VerifiesOnlyTheRightNameAndPassword) {
  AccountTable table;
  std::string error;
  ASSERT_TRUE(table.Add(MakeAccount("alice", "secret"), error));
  ASSERT_TRUE(table.Add(MakeAccount("bob", "other"), error));
  const Account* alice = table.Verify("alice", "secret");
  ASSERT_NE(alice, nullptr);
  EXPECT_EQ(alice->name, "alice");
  EXPECT_EQ(table.Verify("alice", "other"), nullptr);
  EXPECT_EQ(table.Verify("alice", "secret "), nullptr);
  EXPECT_EQ(table.Verify("Alice", "secret"), nullptr);
  EXPECT_EQ(table.Verify("carol", "secret"), nullptr);
  EXPECT_EQ(table.Verify("", ""), nullptr);
  EXPECT_FALSE(table.Add(MakeAccount("alice", "again"), error));
  EXPECT_NE(error.find("alice"), std::string::npos);
}

TEST(AccountsTest, SaltsDiffer) { EXPECT_NE(MakeAccount("a", "same").salt, MakeAccount("a", "same").salt); }

TEST(AccountsTest, LineRoundTrips) {
  const Account account = MakeAccount("alice", "secret");
  const std::string line = AccountLine(account);
  EXPECT_EQ(line.substr(0, 6), "alice:");
  std::string why;
  const auto parsed = ParseAccountLine(line, why);
  ASSERT_TRUE(parsed) << why;
  EXPECT_EQ(parsed->name, "alice");
  EXPECT_EQ(parsed->salt, account.salt);
  EXPECT_EQ(parsed->hash, account.hash);
}

TEST(AccountsTest, ReadsLinesWithAndWithoutTheIterationCount) {
  const std::string salt(32, '5');
  const std::string hash = ToHex(DerivePasswordHash("pw", *FromHex(salt), 20000));
  std::string why;
  const auto counted = ParseAccountLine("bob:" + salt + ":" + hash + ":20000", why);
  ASSERT_TRUE(counted) << why;
  EXPECT_EQ(counted->iterations, 20000);
  AccountTable table;
  ASSERT_TRUE(table.Add(*counted, why));
  EXPECT_NE(table.Verify("bob", "pw"), nullptr) << "hashed with the line's own count";
  const auto older = ParseAccountLine("bob:" + salt + ":" + hash, why);
  ASSERT_TRUE(older) << why;
  EXPECT_EQ(older->iterations, kPasswordHashIterations);
}

TEST(AccountsTest, RefusesBadLines) {
  const std::string hash(64, 'a');
  const std::string salt(32, '0');
  for (const std::string& line :
       {"alice:00:" + hash,                            // a salt of one byte
        "alice:" + std::string(30, '0') + ":" + hash,  // 15 bytes
        "alice:" + salt + ":" + hash + ":9999", "alice:" + salt + ":" + hash + ":10000001",
        "alice:" + salt + ":" + hash + ":", "alice:" + salt + ":" + hash + ":1:2"}) {
    std::string why;
    EXPECT_FALSE(ParseAccountLine(line, why)) << line;
  }
}

TEST(AccountsTest, RefusesMalformedLines) {
  const std::string hash(64, 'a');
  const std::vector<std::string> lines = {
      "alice",          "alice:00",    "alice:00:" + hash + ":x", "alice:zz:" + hash, "alice::" + hash,
      "alice:00:abcd",  ":00:" + hash, "../x:00:" + hash,         "a/b:00:" + hash,   ".hidden:00:" + hash,
      "a\tb:00:" + hash};
  for (const std::string& line : lines) {
    std::string why;
    EXPECT_FALSE(ParseAccountLine(line, why)) << line;
    EXPECT_FALSE(why.empty());
  }
}

TEST(AccountsTest, NamesAreFolderNames) {
  std::string why;
  EXPECT_TRUE(IsValidAccountName("alice", why));
  EXPECT_TRUE(IsValidAccountName("\xe5\xb1\xb1\xe7\x94\xb0", why));
  EXPECT_TRUE(IsValidAccountName(std::string(kMaxAccountNameBytes, 'a'), why));
  for (const std::string& name :
       {std::string(), std::string(kMaxAccountNameBytes + 1, 'a'), std::string("."), std::string(".."),
        std::string("a/b"), std::string("a\\b"), std::string("a:b"), std::string("a\nb")}) {
    EXPECT_FALSE(IsValidAccountName(name, why)) << name;
  }
}

TEST(AccountsTest, LoadsAFileWithCommentsAndReportsTheBadLine) {
  testing::TempDir dir;
  const std::string good = AccountLine(MakeAccount("alice", "secret"));
  const auto path = dir.WriteFile("users", "\xEF\xBB\xBF# accounts\n\n" + good + "\r\n");
  std::vector<Account> accounts;
  std::string error;
  ASSERT_TRUE(LoadAccountsFile(path, accounts, error)) << error;
  ASSERT_EQ(accounts.size(), 1u);
  EXPECT_EQ(accounts[0].name, "alice");

  const auto bad = dir.WriteFile("bad", good + "\nbob:secret\n");
  accounts.clear();
  EXPECT_FALSE(LoadAccountsFile(bad, accounts, error));
  EXPECT_NE(error.find(":2:"), std::string::npos) << error;
  EXPECT_FALSE(LoadAccountsFile(dir.path() / "missing", accounts, error));
}

}  // namespace
}  // namespace wharfling::server
