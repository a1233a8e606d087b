// The parvault-server program: its command line, its ready line, its log, its stop on signals and its
// thumbnailer.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/http_test_client.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_ca.h"
#include "tests/support/test_photos.h"

#ifdef PARVAULT_SERVER

extern char** environ;

namespace wharfling::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// A running parvault-server with its standard streams on pipes.
class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> args, const std::string& input = "",
                         const std::string& program = PARVAULT_SERVER) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (!input.empty()) {
      [[maybe_unused]] const auto written = ::write(in[1], input.data(), input.size());
    }
    ::close(in[1]);
    out_ = out[0];
    err_ = err[0];
  }

  ~ServerProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
    ::close(out_);
    ::close(err_);
  }

  // The next line of standard output, or "" when none comes.
  std::string ReadLine() {
    std::string line;
    char c = 0;
    while (Ready(out_) && ::read(out_, &c, 1) == 1) {
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }

  std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while (Ready(fd) && (got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, got);
    return text;
  }
  std::string Output() { return ReadAll(out_); }
  std::string Errors() { return ReadAll(err_); }

  void Signal(int signal) { ::kill(pid_, signal); }
  // The exit status, or -1 when it did not end normally.
  int Wait() {
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  static bool Ready(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 30000) > 0;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
};

int PortOf(const std::string& readyLine) {
  const auto colon = readyLine.rfind(':');
  return colon == std::string::npos ? -1 : std::stoi(readyLine.substr(colon + 1));
}

// Signs in and uploads one file as the uploader would; returns the upload's status.
int SignInAndUpload(int port, const std::string& user, const std::string& password) {
  HttpTestClient client(port);
  const auto login = client.Post("/ParvaultAsp2/logincheck2.asp",
                                 "username=" + user + "&password=" + password + "&x=52&y=15",
                                 "application/x-www-form-urlencoded");
  if (!login || login->Header("Location") != "menu.asp") return -1;
  const std::string cookie = login->Header("Set-Cookie");
  const auto upload =
      client.Post("/ParvaultAsp2/InsertFile.asp", {{"Cookie", cookie.substr(0, cookie.find(';'))}},
                  UploaderBody("C:\\photos\\beach.jpg", "jpeg bytes"), std::string(kUploaderContentType));
  return upload ? upload->status : -1;
}

TEST(ParvaultServerProcessTest, SaysWhereItListensServesAndStopsOnSigterm) {
  TempDir dir;
  ServerProcess server({"--listen", "127.0.0.1:0", "--storage", (dir.path() / "store").string(), "--user",
                        "demo", "--password", "demo-pw"});
  const std::string ready = server.ReadLine();
  ASSERT_THAT(ready, MatchesRegex("listening on 127\\.0\\.0\\.1:[0-9]+"));
  EXPECT_EQ(SignInAndUpload(PortOf(ready), "demo", "demo-pw"), 200);
  EXPECT_EQ(FileContents(dir.path() / "store" / "demo" / "beach.jpg"), "jpeg bytes");
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0);
  const std::string log = server.Errors();
  EXPECT_THAT(log, HasSubstr("POST /ParvaultAsp2/InsertFile.asp 200 user=demo stored \"beach.jpg\""));
  EXPECT_THAT(log, HasSubstr("stopped"));
  EXPECT_THAT(log, ::testing::Not(HasSubstr("demo-pw")));
}

// Signs in, uploads the photo when given one, and fetches the thumbnail of the newest photo; returns
// its Content-Type.
std::string ThumbnailType(int port, const std::string& photo) {
  HttpTestClient client(port);
  const auto login = client.Post("/ParvaultAsp2/logincheck2.asp", "username=demo&password=demo-pw&x=52&y=15",
                                 "application/x-www-form-urlencoded");
  if (!login) return "";
  const std::string cookie = login->Header("Set-Cookie").substr(0, login->Header("Set-Cookie").find(';'));
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
    ServerProcess server(args, "", (folder / "parvault-server").string());
    EXPECT_EQ(ThumbnailType(PortOf(server.ReadLine()), MakeJpeg({.width = 64, .height = 48, .tags = {}})),
              "image/svg+xml");
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
    EXPECT_THAT(server.Errors(), HasSubstr("no parvault-thumbnailer beside the program"));
  }
  std::filesystem::copy_file(std::filesystem::path(PARVAULT_SERVER).parent_path() / "parvault-thumbnailer",
                             folder / "parvault-thumbnailer");
  ServerProcess server(args, "", (folder / "parvault-server").string());
  EXPECT_EQ(ThumbnailType(PortOf(server.ReadLine()), ""), "image/jpeg");
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0);
  EXPECT_THAT(server.Errors(), HasSubstr("thumbnails made by " + (folder / "parvault-thumbnailer").string()));
}

TEST(ParvaultServerProcessTest, StopsOnSigintWithAConnectionOpen) {
  TempDir dir;
  ServerProcess server(
      {"--listen=127.0.0.1:0", "--storage", dir.path().string(), "--user", "a", "--password", "b"});
  const int port = PortOf(server.ReadLine());
  ASSERT_GT(port, 0);
  RawConnection idle(port);
  ASSERT_TRUE(idle.connected());
  server.Signal(SIGINT);
  EXPECT_EQ(server.Wait(), 0);
}

TEST(ParvaultServerProcessTest, ServesHttpsAndReloadsItsCertificateOnSighup) {
  TempDir dir;
  const TestCa ca({"localhost"});
  ServerProcess server({"--listen", "127.0.0.1:0", "--storage", dir.path().string(), "--user", "a",
                        "--password", "b", "--tls-cert", dir.WriteFile("cert.pem", ca.serverCertPem()),
                        "--tls-key", dir.WriteFile("key.pem", ca.serverKeyPem())});
  const int port = PortOf(server.ReadLine());
  ASSERT_GT(port, 0);
  HttpTestClient client(port, ca.caBundlePath());
  EXPECT_TRUE(client.Get("/")) << client.error();
  server.Signal(SIGHUP);
  EXPECT_TRUE(client.Get("/")) << client.error();
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0);
  const std::string log = server.Errors();
  EXPECT_THAT(log, HasSubstr(", https only"));
  EXPECT_THAT(log, HasSubstr("SIGHUP, certificate loaded again"));
}

TEST(ParvaultServerProcessTest, HashPasswordPrintsALineTheUsersFileTakes) {
  TempDir dir;
  ServerProcess hash({"--hash-password", "--user", "carol"}, "carol's password\n");
  const std::string line = hash.ReadLine();
  EXPECT_EQ(hash.Wait(), 0);
  ASSERT_THAT(line, MatchesRegex("carol:[0-9a-f]{32}:[0-9a-f]{64}:100000"));
  const std::string users = dir.WriteFile("users", "# test accounts\n" + line + "\n");

  ServerProcess server({"--listen", "127.0.0.1:0", "--storage", dir.path().string(), "--users", users});
  const int port = PortOf(server.ReadLine());
  ASSERT_GT(port, 0);
  EXPECT_EQ(SignInAndUpload(port, "carol", "carol's+password"), 200);
  EXPECT_EQ(SignInAndUpload(port, "carol", "wrong"), -1);
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0);
}

TEST(ParvaultServerProcessTest, BadUsageAndBadAccountsFilesAreReported) {
  TempDir dir;
  ServerProcess emptyPassword({"--hash-password", "--user", "carol"}, "\n");
  EXPECT_EQ(emptyPassword.Wait(), 64);
  EXPECT_THAT(emptyPassword.Errors(), HasSubstr("the password is empty"));

  ServerProcess noAccount({"--listen", "127.0.0.1:0"});
  EXPECT_EQ(noAccount.Wait(), 64);
  EXPECT_THAT(noAccount.Errors(), HasSubstr("usage: parvault-server"));

  ServerProcess halfTls({"--listen", "127.0.0.1:0", "--user", "a", "--password", "b", "--tls-cert", "c.pem"});
  EXPECT_EQ(halfTls.Wait(), 64);
  EXPECT_THAT(halfTls.Errors(), HasSubstr("--tls-cert and --tls-key go together"));

  const std::string users = dir.WriteFile("users", "alice:not-hex:00\n");
  ServerProcess badFile({"--listen", "127.0.0.1:0", "--storage", dir.path().string(), "--users", users});
  EXPECT_EQ(badFile.Wait(), 1);
  EXPECT_THAT(badFile.Errors(), HasSubstr("users:1:"));
}

TEST(ParvaultServerProcessTest, APortInUseIsReported) {
  ParvaultTestServer holder;
  TempDir dir;
  ServerProcess server({"--listen", "127.0.0.1:" + std::to_string(holder.port()), "--storage",
                        dir.path().string(), "--user", "a", "--password", "b"});
  EXPECT_EQ(server.Wait(), 1);
  EXPECT_THAT(server.Errors(), HasSubstr("cannot listen on 127.0.0.1:" + std::to_string(holder.port())));
}

}  // namespace
}  // namespace wharfling::testing

#endif  // PARVAULT_SERVER
