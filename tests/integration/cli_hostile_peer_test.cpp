// What a person sees when a peer misbehaves: why an exchange failed, and texts from pages and file
// names that cannot drive the terminal.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/command_run.h"
#include "tests/support/fake_parvault.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

std::uint16_t ClosedPort() {
  LoopbackServer gone([](const RecordedRequest&) { return Reply::Ok(""); });
  return gone.port();
}

TEST(HostilePeerCli, ExchangeAndSendUploadSayWhyTheyFailed) {
  const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/";
  LoopbackServer plain([](const RecordedRequest&) { return Reply::Ok("plain"); });
  const std::string plainTls = "https://127.0.0.1:" + std::to_string(plain.port()) + "/";
  const TempDir dir;
  const std::string photo = ShellQuote(dir.WriteFile("a.jpg", "JPEG"));
  const struct {
    std::string arguments;
    const char* error;
  } cases[] = {
      {"exchange " + closed, "connect"},
      {"exchange " + plainTls, "SSL"},
      {"exchange ftp://127.0.0.1/", "cannot be split"},
      {"send-upload --sender parvault " + closed + " " + photo, "connect"},
      {"send-upload --sender parvault " + closed + " " + photo + ".gone", "the photo cannot be read"},
  };
  for (const auto& c : cases) {
    const CommandResult run = RunCommand("", WHARFLING_CLI, c.arguments);
    EXPECT_EQ(run.status, 1) << c.arguments;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["ok"], false);
    EXPECT_NE(json["error"].get<std::string>().find(c.error), std::string::npos) << run.out;
  }
  EXPECT_TRUE(plain.requests().empty()) << "an https URL never goes out in clear";
}

class HostileUploadCli : public ::testing::Test {
 protected:
  CommandResult Upload(const std::string& connectTo, const std::string& arguments) {
    dir.WriteFile("config/wharfling.ini", "[Settings]\nParvaultD=alice\nParvaultW=secret\n");
    return RunCommand("WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()) +
                          " WHARFLING_CONNECT_TO=" + ShellQuote(connectTo),
                      WHARFLING_CLI, "upload " + arguments);
  }
  TempDir dir;
};

TEST_F(HostileUploadCli, ServerDownIsNamedOnStandardError) {
  const std::string port = std::to_string(ClosedPort());
  const auto run =
      Upload("www.parvault.example:80:127.0.0.1:" + port, ShellQuote(dir.WriteFile("a.jpg", "a")));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("[message]"), std::string::npos) << "the message box is still shown";
  EXPECT_NE(run.err.find("wharfling: www.parvault.example:80: Failed to connect to 127.0.0.1 port " + port),
            std::string::npos)
      << run.err;
}

TEST_F(HostileUploadCli, ControlCharactersReachTheTerminalEscaped) {
  FakeParvault site("www.parvault.example", "");
  site.ScriptUploads([](const FakeParvault::Upload&) {
    return FakeParvault::Answer{FakeParvault::Answer::kRefuseWithReason, "full\x1B[2J\x9B\r"};
  });
  const auto photo = dir.WriteFile("a\x1B]0;owned\x07.jpg", "a");
  dir.WriteFile("config/wharfling.ini", "[Settings]\nParvaultD=alice\nParvaultW=secret\n");
  const auto run = RunCommand("WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()) +
                                  " WHARFLING_CA_FILE=" + ShellQuote(site.CaFile()) +
                                  " WHARFLING_CONNECT_TO=" + ShellQuote(site.ConnectTo()),
                              WHARFLING_CLI, "upload --progress " + ShellQuote(photo));
  EXPECT_EQ(run.status, 1);
  for (const std::string* shown : {&run.out, &run.err}) {
    for (const char control : {'\x1B', '\x07', '\r'}) {
      EXPECT_EQ(shown->find(control), std::string::npos) << *shown;
    }
  }
  EXPECT_NE(run.out.find("a\\u001B]0;owned\\u0007.jpg"), std::string::npos) << run.out;
  // 0x9B is no CP932 character: it is shown as \x9B, never as the C1 control it is in Latin-1.
  EXPECT_NE(run.out.find("---失敗---[full\\u001B[2J\\x9B\\u000D]"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("full\\u001B[2J"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace wharfling::testing
