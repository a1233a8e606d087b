// The exchange and send-upload commands against loopback servers, through the environment settings
// a diagnostic run uses.

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/command_run.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_ca.h"

namespace wharfling::testing {
namespace {

using CliRun = CommandResult;

CliRun Wharfling(const std::string& environment, const std::string& arguments) {
  return RunCommand(environment, WHARFLING_CLI, arguments);
}

std::string Quote(const std::string& text) { return ShellQuote(text); }

TEST(WebCli, ExchangePrintsTheResponse) {
  const TestCa ca({"www.example.test"});
  LoopbackServer server(
      [](const RecordedRequest& request) {
        return Reply::Make("HTTP/1.1 302 Found", "Location: /next\r\n",
                           request.method + " " + request.target);
      },
      {ca.serverCertPem(), ca.serverKeyPem()});
  const std::string environment =
      "WHARFLING_CA_FILE=" + Quote(ca.caBundlePath()) +
      " WHARFLING_CONNECT_TO=www.example.test:443:127.0.0.1:" + std::to_string(server.port());
  const CliRun run = Wharfling(environment,
                               "exchange --method POST --body 'a=1' --header 'Referer: http://r/' --secure "
                               "'https://www.example.test/login?x=%3F'");
  ASSERT_EQ(run.status, 0) << run.out;
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["ok"], true);
  EXPECT_EQ(json["headers"].get<std::string>(),
            "HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 15\r\n");
  EXPECT_EQ(json["body"].get<std::string>(), "POST /login?x=?");
  EXPECT_EQ(json["body_chunks"], nlohmann::json::array({15}));
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests().back().body, "a=1");
  EXPECT_EQ(server.requests().back().Header("Referer"), "http://r/");

  const CliRun failed = Wharfling(environment, "exchange 'http://www.example.test:1/'");
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(nlohmann::json::parse(failed.out)["ok"], false);
  EXPECT_EQ(Wharfling("", "exchange --method PUT http://x/").status, 64);
}

TEST(WebCli, SendUploadPostsTheSendersForm) {
  LoopbackServer server([](const RecordedRequest&) { return Reply::Ok("done"); });
  const TempDir dir;
  const std::string path = dir.WriteFile("photo.jpg", "JPEG");
  const std::string environment =
      "WHARFLING_CONNECT_TO=photo.example.test:80:127.0.0.1:" + std::to_string(server.port());
  const CliRun run = Wharfling(
      environment,
      "send-upload --sender olio --field web_album_id=42 http://photo.example.test/up " + Quote(path));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(nlohmann::json::parse(run.out)["body"].get<std::string>(), "done");
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests().back().body,
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"web_album_id\"\r\n\r\n42\r\n"
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"filedata[0]\"; filename=\"" +
                path +
                "\"\r\nContent-Type: image/jpeg\r\n\r\nJPEG\r\n"
                "-----------------------------7d432817150952--\r\n");

  const CliRun confirm =
      Wharfling(environment,
                "send-upload --sender mixi-confirm --field submit=s --field packed=p --field post_key=k "
                "http://photo.example.test/confirm ''");
  EXPECT_EQ(confirm.status, 0);
  EXPECT_EQ(server.requests().back().body,
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"submit\"\r\n\r\ns\r\n"
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"packed\"\r\n\r\np\r\n"
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"post_key\"\r\n\r\nk\r\n"
            "-----------------------------7d432817150952--\r\n");

  const CliRun missing = Wharfling(
      environment, "send-upload --sender fueru http://photo.example.test/up " + Quote(path + ".gone"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(server.requests().size(), 2u);
  EXPECT_EQ(Wharfling("", "send-upload --sender nobody http://x/ f").status, 64);
  const CliRun unknownField = Wharfling("", "send-upload --sender olio --field album=1 http://x/ f");
  EXPECT_EQ(unknownField.status, 64);
  EXPECT_NE(unknownField.err.find("the olio form has no field album (its fields: web_album_id)"),
            std::string::npos)
      << unknownField.err;
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST(WebCli, SendUploadCutOffShowsTheReplyButIsNotOk) {
  LoopbackServer server([](const RecordedRequest&) { return Reply::Ok("unused"); });
  server.SetEarlyHandler([](const RecordedRequest&) { return std::optional<Reply>(Reply::Ok("stored")); });
  const TempDir dir;
  const std::string path = dir.WriteFile("big.jpg", std::string(12 << 20, 'p'));
  const CliRun run =
      Wharfling("WHARFLING_CONNECT_TO=photo.example.test:80:127.0.0.1:" + std::to_string(server.port()),
                "send-upload --sender parvault http://photo.example.test/InsertFile.asp " + Quote(path));
  EXPECT_EQ(run.status, 1);
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["ok"], false);
  EXPECT_EQ(json["body"], "stored");
  EXPECT_TRUE(json["error"].get<std::string>().starts_with("the request went out incomplete ("))
      << json["error"];
}

}  // namespace
}  // namespace wharfling::testing
