// The parvault-server program: its command line, its ready line, its log, its stop on signals and its
// thumbnailer.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/http_test_client.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_ca.h"
#include "tests/support/test_photos.h"

#ifdef PARVAULT_SERVER

namespace wharfling::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// Signs in and uploads one file as the uploader would; returns the upload's status, -1 when the
// sign-in fails.
int SignInAndUpload(int port, const std::string& user, const std::string& password) {
  const std::string cookie = SignInCookie(port, user, password);
  if (cookie.empty()) return -1;
  HttpTestClient client(port);
  const auto upload =
      client.Post("/ParvaultAsp2/InsertFile.asp", {{"Cookie", cookie}},
                  UploaderBody("C:\\photos\\beach.jpg", "jpeg bytes"), std::string(kUploaderContentType));
  return upload ? upload->status : -1;
}

TEST(ParvaultServerProcessTest, SaysWhereItListensServesAndStopsOnSigterm) {
  TempDir dir;
  ServerProcess server(PARVAULT_SERVER,
                       {"--listen", "127.0.0.1:0", "--storage", (dir.path() / "store").string(), "--user",
                        "demo", "--password", "demo-pw"});
  ASSERT_THAT(server.ReadyLine(), MatchesRegex("listening on 127\\.0\\.0\\.1:[0-9]+"));
  EXPECT_EQ(SignInAndUpload(server.port(), "demo", "demo-pw"), 200);
  EXPECT_EQ(FileContents(dir.path() / "store" / "demo" / "beach.jpg"), "jpeg bytes");
  const auto end = server.Stop();
  EXPECT_EQ(end.status, 0);
  const std::string& log = end.err;
  EXPECT_THAT(log, HasSubstr("POST /ParvaultAsp2/InsertFile.asp 200 user=demo stored \"beach.jpg\""));
  EXPECT_THAT(log, HasSubstr("stopped"));
  EXPECT_THAT(log, ::testing::Not(HasSubstr("demo-pw")));
}

// Signs in, uploads the photo when given one, and fetches the thumbnail of the newest photo; returns
// its Content-Type.
std::string ThumbnailType(int port, const std::string& photo) {
  const std::string cookie = SignInCookie(port, "demo", "demo-pw");
  if (cookie.empty()) return "";
  HttpTestClient client(port);
  if (!photo.empty()) {
    client.Post("/ParvaultAsp2/InsertFile.asp", {{"Cookie", cookie}},
                UploaderBody("C:\\photos\\sea.jpg", photo), std::string(kUploaderContentType));
  }
  const auto menu = client.Get("/ParvaultAsp2/menu.asp", {{"Cookie", cookie}});
  const std::size_t at = menu ? menu->body.find("thumb.asp?id=") : std::string::npos;
  if (at == std::string::npos) return "";
  const auto thumbnail = client.Get("/ParvaultAsp2/" + menu->body.substr(at, 13 + 32), {{"Cookie", cookie}});
  return thumbnail ? thumbnail->Header("Content-Type") : "";
}

// The thumbnailer is looked for beside the program. Without it the photo shows the neutral tile and the
// log says why; that tile is not kept, so the photo gets its thumbnail once the helper is there.
TEST(ParvaultServerProcessTest, MakesThumbnailsWithTheHelperBesideIt) {
  ::unsetenv("PARVAULT_THUMBNAILER");
  TempDir dir;
  const auto folder = dir.path() / "bin";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(PARVAULT_SERVER, folder / "parvault-server");
  const std::vector<std::string> args{
      "--listen", "127.0.0.1:0", "--storage",  (dir.path() / "store").string(),
      "--user",   "demo",        "--password", "demo-pw"};
  {
    ServerProcess server((folder / "parvault-server").string(), args);
    EXPECT_EQ(ThumbnailType(server.port(), MakeJpeg({.width = 64, .height = 48, .tags = {}})),
              "image/svg+xml");
    const auto end = server.Stop();
    EXPECT_EQ(end.status, 0);
    EXPECT_THAT(end.err, HasSubstr("no parvault-thumbnailer beside the program"));
  }
  std::filesystem::copy_file(std::filesystem::path(PARVAULT_SERVER).parent_path() / "parvault-thumbnailer",
                             folder / "parvault-thumbnailer");
  ServerProcess server((folder / "parvault-server").string(), args);
  EXPECT_EQ(ThumbnailType(server.port(), ""), "image/jpeg");
  const auto end = server.Stop();
  EXPECT_EQ(end.status, 0);
  EXPECT_THAT(end.err, HasSubstr("thumbnails made by " + (folder / "parvault-thumbnailer").string()));
}

TEST(ParvaultServerProcessTest, StopsOnSigintWithAConnectionOpen) {
  TempDir dir;
  ServerProcess server(PARVAULT_SERVER, {"--listen=127.0.0.1:0", "--storage", dir.path().string(), "--user",
                                         "a", "--password", "b"});
  const int port = server.port();
  ASSERT_GT(port, 0);
  RawConnection idle(port);
  ASSERT_TRUE(idle.connected());
  EXPECT_EQ(server.Stop(SIGINT).status, 0);
}

TEST(ParvaultServerProcessTest, ServesHttpsAndReloadsItsCertificateOnSighup) {
  TempDir dir;
  const TestCa ca({"localhost"});
  ServerProcess server(PARVAULT_SERVER,
                       {"--listen", "127.0.0.1:0", "--storage", dir.path().string(), "--user", "a",
                        "--password", "b", "--tls-cert", dir.WriteFile("cert.pem", ca.serverCertPem()),
                        "--tls-key", dir.WriteFile("key.pem", ca.serverKeyPem())});
  const int port = server.port();
  ASSERT_GT(port, 0);
  HttpTestClient client(port, ca.caBundlePath());
  EXPECT_TRUE(client.Get("/")) << client.error();
  server.Signal(SIGHUP);
  EXPECT_TRUE(client.Get("/")) << client.error();
  const auto end = server.Stop();
  EXPECT_EQ(end.status, 0);
  const std::string& log = end.err;
  EXPECT_THAT(log, HasSubstr(", https only"));
  EXPECT_THAT(log, HasSubstr("SIGHUP, certificate loaded again"));
}

TEST(ParvaultServerProcessTest, HashPasswordPrintsALineTheUsersFileTakes) {
  TempDir dir;
  ServerProcess hash(PARVAULT_SERVER, {"--hash-password", "--user", "carol"}, "carol's password\n");
  const auto hashed = hash.Wait();
  EXPECT_EQ(hashed.status, 0);
  const std::string line = hashed.out.substr(0, hashed.out.find('\n'));
  ASSERT_THAT(line, MatchesRegex("carol:[0-9a-f]{32}:[0-9a-f]{64}:100000"));
  const std::string users = dir.WriteFile("users", "# test accounts\n" + line + "\n");

  ServerProcess server(PARVAULT_SERVER,
                       {"--listen", "127.0.0.1:0", "--storage", dir.path().string(), "--users", users});
  const int port = server.port();
  ASSERT_GT(port, 0);
  EXPECT_EQ(SignInAndUpload(port, "carol", "carol's+password"), 200);
  EXPECT_EQ(SignInAndUpload(port, "carol", "wrong"), -1);
  EXPECT_EQ(server.Stop().status, 0);
}

TEST(ParvaultServerProcessTest, BadUsageAndBadAccountsFilesAreReported) {
  TempDir dir;
  const std::string users = dir.WriteFile("users", "alice:not-hex:00\n");
  const struct {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string says;
  } cases[] = {
      {{"--hash-password", "--user", "carol"}, "\n", 64, "the password is empty"},
      {{"--listen", "127.0.0.1:0"}, "", 64, "usage: parvault-server"},
      {{"--listen", "127.0.0.1:0", "--user", "a", "--password", "b", "--tls-cert", "c.pem"},
       "",
       64,
       "--tls-cert and --tls-key go together"},
      {{"--listen", "127.0.0.1:0", "--storage", dir.path().string(), "--users", users}, "", 1, "users:1:"},
  };
  for (const auto& c : cases) {
    ServerProcess server(PARVAULT_SERVER, c.args, c.input);
    const auto end = server.Wait();
    EXPECT_EQ(end.status, c.status) << c.says;
    EXPECT_THAT(end.err, HasSubstr(c.says));
  }
}

TEST(ParvaultServerProcessTest, APortInUseIsReported) {
  ParvaultTestServer holder;
  TempDir dir;
  ServerProcess server(PARVAULT_SERVER, {"--listen", "127.0.0.1:" + std::to_string(holder.port()),
                                         "--storage", dir.path().string(), "--user", "a", "--password", "b"});
  const auto end = server.Wait();
  EXPECT_EQ(end.status, 1);
  EXPECT_THAT(end.err, HasSubstr("cannot listen on 127.0.0.1:" + std::to_string(holder.port())));
}

}  // namespace
}  // namespace wharfling::testing

#endif  // PARVAULT_SERVER
