// Reading form bodies, cookies and the command line of parvault-server.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "server/command_line.h"
#include "server/engine/form_decoding.h"
#include "tests/support/temp_dir.h"

namespace wharfling::server {
namespace {

TEST(DecodeFormTextTest, DecodesEscapesAndPlusAndKeepsOtherBytes) {
  EXPECT_EQ(DecodeFormText("a%26b%3Dc%25d%2Be%20f"), "a&b=c%d+e f");
  EXPECT_EQ(DecodeFormText("a+b"), "a b");
  EXPECT_EQ(DecodeFormText("%0d%0A"), "\r\n");
  // CP932 bytes arrive unescaped and stay as they are.
  EXPECT_EQ(DecodeFormText("\x83\x8d\x83\x4f\x83\x43\x83\x93"), "\x83\x8d\x83\x4f\x83\x43\x83\x93");
  // A '%' without two hex digits is kept.
  EXPECT_EQ(DecodeFormText("100%"), "100%");
  EXPECT_EQ(DecodeFormText("%4"), "%4");
  EXPECT_EQ(DecodeFormText("%zz1"), "%zz1");
}

TEST(FindFormFieldTest, ReadsTheServiceAndTheInHouseLoginBodies) {
  const std::string service =
      "username=alice&password=p%26w&login=\x83\x8d\x83\x4f\x83\x43\x83\x93&Image1.x=35&Image1.y=14";
  EXPECT_EQ(FindFormField(service, "username"), "alice");
  EXPECT_EQ(FindFormField(service, "password"), "p&w");
  EXPECT_EQ(FindFormField(service, "login"), "\x83\x8d\x83\x4f\x83\x43\x83\x93");
  const std::string inHouse = "username=%E3%81%82&password=&x=52&y=15";
  EXPECT_EQ(FindFormField(inHouse, "username"), "\xe3\x81\x82");
  EXPECT_EQ(FindFormField(inHouse, "password"), "");
  EXPECT_EQ(FindFormField(inHouse, "missing"), std::nullopt);
  EXPECT_EQ(FindFormField("flag&username=a", "flag"), "");
  // The first field of a name counts.
  EXPECT_EQ(FindFormField("username=a&username=b", "username"), "a");
}

TEST(FindCookieTest, FindsTheNamedCookieOnly) {
  EXPECT_EQ(FindCookie("PVSESSION=abc", "PVSESSION"), "abc");
  EXPECT_EQ(FindCookie("a=1; PVSESSION=abc; b=2", "PVSESSION"), "abc");
  EXPECT_EQ(FindCookie("XPVSESSION=abc", "PVSESSION"), std::nullopt);
  EXPECT_EQ(FindCookie("", "PVSESSION"), std::nullopt);
  EXPECT_EQ(FindCookie("PVSESSION", "PVSESSION"), std::nullopt);
}

struct AddressCase {
  std::string text;
  bool ok;
  std::string host;
  int port;
};

class ListenAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ListenAddressTest, Parses) {
  std::string host = "unchanged";
  int port = -1;
  EXPECT_EQ(ParseListenAddress(GetParam().text, host, port), GetParam().ok);
  if (GetParam().ok) {
    EXPECT_EQ(host, GetParam().host);
    EXPECT_EQ(port, GetParam().port);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ListenAddressTest,
    ::testing::Values(AddressCase{"127.0.0.1:8780", true, "127.0.0.1", 8780},
                      AddressCase{"localhost:0", true, "localhost", 0},
                      AddressCase{"[::1]:8780", true, "::1", 8780},
                      AddressCase{"0.0.0.0:65535", true, "0.0.0.0", 65535},
                      AddressCase{"127.0.0.1:65536", false, "", 0}, AddressCase{"127.0.0.1:-1", false, "", 0},
                      AddressCase{"127.0.0.1", false, "", 0}, AddressCase{":8780", false, "", 0},
                      AddressCase{"::1:8780", false, "", 0}, AddressCase{"127.0.0.1:80x", false, "", 0}));

bool Parse(std::vector<std::string_view> args, CommandLine& out, std::string& error) {
  return ParseCommandLine(args, out, error);
}

TEST(CommandLineTest, DefaultsAgreeWithTheUploadersBuiltInEndpoint) {
  CommandLine out;
  std::string error;
  ASSERT_TRUE(Parse({"--user", "alice", "--password", "pw"}, out, error)) << error;
  EXPECT_EQ(out.options.host, "127.0.0.1");
  EXPECT_EQ(out.options.port, 8780);
  EXPECT_EQ(out.options.storage, "parvault-storage");
  EXPECT_EQ(out.options.maxFileSize, 4000000u);
  EXPECT_EQ(out.user, "alice");
  EXPECT_EQ(out.password, "pw");
}

TEST(CommandLineTest, TakesEveryOptionInBothSpellings) {
  CommandLine out;
  std::string error;
  ASSERT_TRUE(Parse({"--listen=[::1]:0", "--storage", "/srv/pv", "--users=/etc/pv.users", "--max-size", "123",
                     "--quota=5000"},
                    out, error))
      << error;
  EXPECT_EQ(out.options.host, "::1");
  EXPECT_EQ(out.options.port, 0);
  EXPECT_EQ(out.options.storage, "/srv/pv");
  EXPECT_EQ(out.usersFiles, std::vector<std::string>{"/etc/pv.users"});
  EXPECT_EQ(out.options.maxFileSize, 123u);
  EXPECT_EQ(out.options.quota, 5000u);
}

TEST(CommandLineTest, RefusesBadUsage) {
  const std::vector<std::vector<std::string_view>> bad = {
      {},                    // no account at all
      {"--user", "alice"},   // no password
      {"--password", "pw"},  // no user
      {"--user", "a", "--password", "p", "--max-size", "0"},
      {"--user", "a", "--password", "p", "--max-size", "4MB"},
      {"--user", "a", "--password", "p", "--max-size", "18446744073709551615"},  // would wrap round
      {"--user", "a", "--password", "p", "--max-size", "281474976710657"},       // 2^48 + 1
      {"--user", "a", "--password", "p", "--quota", "0"},
      {"--user", "a", "--password", "p", "--quota", "1GB"},
      {"--user", "a", "--password-file", "/no/such/file"},
      {"--user", "a", "--password", "p", "--listen", "8780"},
      {"--user", "a", "--password", "p", "--storage"},  // value missing
      {"--user", "a", "--password", "p", "--verbose"},
      {"--hash-password"},  // no user to name the line
  };
  for (const auto& args : bad) {
    CommandLine out;
    std::string error;
    EXPECT_FALSE(Parse(args, out, error)) << (args.empty() ? "(none)" : args.back());
    EXPECT_FALSE(error.empty());
  }
}

TEST(CommandLineTest, PasswordFileGivesItsFirstLine) {
  testing::TempDir dir;
  const auto file = dir.WriteFile("pw", "demo pass\r\nsecond line\n");
  CommandLine out;
  std::string error;
  ASSERT_TRUE(Parse({"--user", "demo", "--password-file", file}, out, error)) << error;
  EXPECT_EQ(out.password, "demo pass");
  ASSERT_TRUE(Parse({"--max-size", "281474976710656", "--user", "a", "--password", "p"}, out, error))
      << error;
  EXPECT_EQ(out.options.maxFileSize, std::uint64_t{1} << 48);
}

TEST(CommandLineTest, HashPasswordNeedsOnlyTheUser) {
  CommandLine out;
  std::string error;
  ASSERT_TRUE(Parse({"--hash-password", "--user", "alice"}, out, error)) << error;
  EXPECT_TRUE(out.hashPassword);
}

}  // namespace
}  // namespace wharfling::server
