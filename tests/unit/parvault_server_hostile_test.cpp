// parvault-server against clients that are slow or greedy on purpose: they cannot keep it from
// serving everyone else, and their requests end within the connection limits.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/engine/request_log.h"
#include "tests/support/parvault_test_server.h"

namespace wharfling::server {
namespace {

using namespace std::chrono_literals;
using wharfling::testing::FolderNames;
using wharfling::testing::ParseRawResponse;
using wharfling::testing::ParvaultTestServer;
using wharfling::testing::RawConnection;
using wharfling::testing::RawPost;
using wharfling::testing::RawResponse;
using wharfling::testing::UploaderBody;

constexpr const char* kOtherHost = "127.0.0.2";

// One request from the given address on its own connection; the answer must come within 5 s.
RawResponse ExchangeFrom(int port, const char* from, const std::string& request) {
  RawConnection connection(port, from);
  if (!connection.connected() || !connection.Send(request)) return {};
  return ParseRawResponse(connection.ReadUntilClosed(5s));
}

std::string CookieOf(const RawResponse& response) {
  const std::size_t at = response.headerBlock.find("Set-Cookie: ");
  if (at == std::string::npos) return {};
  const std::string value = response.headerBlock.substr(at + 12);
  return value.substr(0, value.find(';'));
}

std::string Get(const std::string& target, const std::string& cookie = {}) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
         (cookie.empty() ? "" : "Cookie: " + cookie + "\r\n") + "Connection: close\r\n\r\n";
}

// The uploader's POST of body, with the session cookie and any more header lines (each ending in CRLF).
std::string UploadRequest(const std::string& cookie, const std::string& body,
                          const std::string& moreHeaders = "") {
  return RawPost("/ParvaultAsp2/InsertFile.asp",
                 "Content-Type: " + std::string(wharfling::testing::kUploaderContentType) + "\r\n" +
                     moreHeaders + "Cookie: " + cookie + "\r\n",
                 body);
}

// alice's sign-in with the password, as the login form posts it.
std::string LoginRequest(const std::string& password) {
  return RawPost("/ParvaultAsp2/logincheck2.asp", "Content-Type: application/x-www-form-urlencoded\r\n",
                 "username=alice&password=" + password + "&x=52&y=15");
}

// A GET of / whose head carries `count` more header lines, each value `size` bytes long.
std::string HeadWith(int count, std::size_t size, const std::string& firstLines = "") {
  std::string head = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n" + firstLines;
  for (int i = 0; i < count; ++i) head += "X-" + std::to_string(i) + ": " + std::string(size, 'v') + "\r\n";
  return head + "\r\n";
}

// A user on another host signs in, uploads one photo and signs out.
void SignInUploadSignOut(const ParvaultTestServer& server) {
  const auto signIn = ExchangeFrom(server.port(), kOtherHost, LoginRequest("secret"));
  const std::string cookie = CookieOf(signIn);
  ASSERT_FALSE(cookie.empty()) << signIn.headerBlock;
  const auto upload =
      ExchangeFrom(server.port(), kOtherHost,
                   UploadRequest(cookie, UploaderBody("C:\\photos\\beach.jpg", std::string(100000, 'b'))));
  EXPECT_EQ(upload.statusLine, "HTTP/1.1 200 OK");
  const auto signOut =
      ExchangeFrom(server.port(), kOtherHost, Get("/ParvaultAsp2/logout2.asp?user=alice&pw=secret", cookie));
  EXPECT_EQ(signOut.statusLine.substr(0, 9), "HTTP/1.1 ");
  EXPECT_EQ(FolderNames(server.folderOf("alice")), std::vector<std::string>{"beach.jpg"});
}

TEST(ParvaultHostileClients, IdleAndSlowHeaderConnectionsLeaveRoomForAnotherHost) {
  ParvaultTestServer server;
  std::vector<std::unique_ptr<RawConnection>> idle;
  for (int i = 0; i < 300; ++i) idle.push_back(std::make_unique<RawConnection>(server.port()));
  std::vector<std::unique_ptr<RawConnection>> slow;
  for (int i = 0; i < 50; ++i) {
    slow.push_back(std::make_unique<RawConnection>(server.port()));
    slow.back()->Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
  }
  // One more header byte on every slow connection each second, for as long as the user works.
  std::atomic<bool> done{false};
  std::thread trickle([&] {
    while (!done) {
      for (auto& connection : slow) connection->Send("X");
      for (int i = 0; i < 10 && !done; ++i) std::this_thread::sleep_for(100ms);
    }
  });
  const auto start = std::chrono::steady_clock::now();
  SignInUploadSignOut(server);
  const auto took = std::chrono::steady_clock::now() - start;
  done = true;
  trickle.join();
  EXPECT_LT(took, 15s) << "each exchange answers within its 5 s, so this bounds the test too";
}

TEST(ParvaultHostileClients, OneAddressGetsOnlyItsShareOfConnections) {
  ParvaultTestServer server({}, [](ParvaultServerOptions& o) { o.limits.maxConnectionsPerAddress = 2; });
  RawConnection first(server.port());
  RawConnection second(server.port());
  first.Send("G");
  second.Send("G");
  RawConnection third(server.port());
  EXPECT_EQ(third.ReadUntilClosed(5s), "") << "closed at once, without an answer";
  const auto other = ExchangeFrom(server.port(), kOtherHost, Get("/"));
  EXPECT_EQ(other.statusLine, "HTTP/1.1 200 OK");
}

TEST(ParvaultHostileClients, TheLastSlotsGoToAddressesThatHoldFew) {
  ParvaultTestServer server({}, [](ParvaultServerOptions& o) {
    o.limits.maxConnections = 6;
    o.limits.maxConnectionsPerAddress = 4;
    o.limits.slotsKeptForNewcomers = 2;
    o.limits.newcomerConnections = 1;
  });
  std::vector<std::unique_ptr<RawConnection>> held;
  for (const char* from : {"127.0.0.1", "127.0.0.1", "127.0.0.1", "127.0.0.1", "127.0.0.2"}) {
    held.push_back(std::make_unique<RawConnection>(server.port(), from));
    held.back()->Send("G");
  }
  RawConnection second(server.port(), "127.0.0.2");
  second.Send("GET / HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(second.ReadUntilClosed(5s), "") << "crowded: closed unanswered, an address with one holds enough";
  EXPECT_EQ(ExchangeFrom(server.port(), "127.0.0.3", Get("/")).statusLine, "HTTP/1.1 200 OK");
}

TEST(ParvaultHostileClients, AnOversizedHeadIsAnswered431) {
  ParvaultTestServer server;
  for (const std::string& head : {HeadWith(150, 1), HeadWith(8, 6000)}) {
    RawConnection connection(server.port());
    connection.Send(head);
    const auto answer = ParseRawResponse(connection.ReadUntilClosed(5s));
    EXPECT_EQ(answer.statusLine, "HTTP/1.1 431 Request Header Fields Too Large");
    EXPECT_EQ(answer.responseCount, 1u);
  }
  // A head of a hundred header lines is still served.
  EXPECT_EQ(ExchangeFrom(server.port(), nullptr, HeadWith(98, 1, "Connection: close\r\n")).statusLine,
            "HTTP/1.1 200 OK");
}

TEST(ParvaultHostileClients, ATrickledHeadRunsOutOfTime) {
  ParvaultTestServer server({}, [](ParvaultServerOptions& o) { o.limits.headTimeout = 600ms; });
  RawConnection connection(server.port());
  const std::string head = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::string answer;
  std::thread reader([&] { answer = connection.ReadUntilClosed(5s); });
  for (const char c : head) {
    if (!connection.Send(std::string(1, c))) break;
    std::this_thread::sleep_for(100ms);
  }
  reader.join();
  EXPECT_EQ(ParseRawResponse(answer).statusLine, "HTTP/1.1 408 Request Timeout");
}

TEST(ParvaultHostileClients, ATrickledBodyIsDroppedAndLeavesNothing) {
  ParvaultTestServer server({}, [](ParvaultServerOptions& o) {
    o.limits.bodyGrace = 300ms;
    o.limits.minBodyBytesPerSecond = 1000;
  });
  const std::string cookie = server.SignIn();
  const std::string request = UploadRequest(cookie, UploaderBody("C:\\p\\slow.jpg", std::string(5000, 's')));
  const std::size_t head = request.find("\r\n\r\n") + 4;
  RawConnection connection(server.port());
  connection.Send(request.substr(0, head + 400));
  const auto start = std::chrono::steady_clock::now();
  bool open = true;
  for (std::size_t at = head + 400;
       open && at < request.size() && std::chrono::steady_clock::now() - start < 5s; at += 10) {
    open = connection.Send(request.substr(at, 10));
    std::this_thread::sleep_for(100ms);  // 100 bytes a second
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the server ended the upload";
  connection.Close();
  EXPECT_TRUE(FolderNames(server.folderOf("alice")).empty());
}

TEST(ParvaultHostileClients, AnEncodedBodyIsRefused415BeforeItIsRead) {
  ParvaultTestServer server;
  const std::string cookie = server.SignIn();
  const auto answer = ExchangeFrom(
      server.port(), nullptr, UploadRequest(cookie, std::string(1000, '\x1F'), "Content-Encoding: gzip\r\n"));
  EXPECT_EQ(answer.statusLine, "HTTP/1.1 415 Unsupported Media Type");
  EXPECT_TRUE(FolderNames(server.folderOf("alice")).empty());
}

TEST(ParvaultHostileClients, BytesAfterTheClosingLineCountAgainstTheLimit) {
  ParvaultTestServer server({}, [](ParvaultServerOptions& o) { o.maxFileSize = 1000; });
  const std::string cookie = server.SignIn();
  RawConnection connection(server.port());
  const std::string body = UploaderBody("C:\\p\\a.jpg", "tiny") + std::string(4u << 20, 'z');
  std::string answer;
  std::thread reader([&] { answer = connection.ReadUntilClosed(10s); });
  connection.Send(UploadRequest(cookie, body));
  reader.join();
  EXPECT_NE(ParseRawResponse(answer).statusLine, "HTTP/1.1 200 OK") << "the body was cut off early";
}

TEST(ParvaultHostileClients, StoredPhotosAndFoldersAreTheServersAlone) {
  ParvaultTestServer server;
  const std::string cookie = server.SignIn();
  ExchangeFrom(server.port(), nullptr, UploadRequest(cookie, UploaderBody("C:\\p\\a.jpg", "jpeg")));
  namespace fs = std::filesystem;
  const auto others = fs::perms::group_all | fs::perms::others_all;
  EXPECT_EQ(fs::status(server.folderOf("alice")).permissions() & others, fs::perms::none);
  EXPECT_EQ(fs::status(server.folderOf("alice") / "a.jpg").permissions() & others, fs::perms::none);
}

TEST(ParvaultHostileClients, GuessingIsHeldBackAndTheRightPasswordStillWorksAfterwards) {
  ParvaultTestServer server;
  const auto login = [&](const char* pw) { return ExchangeFrom(server.port(), nullptr, LoginRequest(pw)); };
  for (int i = 0; i < 5; ++i) EXPECT_EQ(login("guess").statusLine, "HTTP/1.1 302 Found");
  const auto held = login("secret");
  EXPECT_EQ(held.statusLine, "HTTP/1.1 429 Too Many Requests") << "even the right password waits";
  EXPECT_NE(held.headerBlock.find("Retry-After: 1\r\n"), std::string::npos) << held.headerBlock;
  std::this_thread::sleep_for(1100ms);
  EXPECT_FALSE(CookieOf(login("secret")).empty());
  EXPECT_EQ(login("guess").statusLine, "HTTP/1.1 302 Found") << "the success cleared the count";
}

TEST(ParvaultHostileClients, StoppingCutsATrickledUploadAfterTheGraceAndLeavesNoFile) {
  ParvaultTestServer server({}, [](ParvaultServerOptions& o) { o.limits.stopGrace = 300ms; });
  const std::string cookie = server.SignIn();
  const std::string request =
      UploadRequest(cookie, UploaderBody("C:\\p\\slow.jpg", std::string(200000, 's')));
  RawConnection connection(server.port());
  std::atomic<bool> stop{false};
  std::thread trickle([&] {
    // 4 KB a second: above the minimum rate, so only the stop ends it.
    for (std::size_t at = 0; !stop && at < request.size(); at += 400) {
      if (!connection.Send(request.substr(at, 400))) break;
      std::this_thread::sleep_for(100ms);
    }
  });
  std::this_thread::sleep_for(500ms);
  const auto start = std::chrono::steady_clock::now();
  server.server().Stop();
  const auto took = std::chrono::steady_clock::now() - start;
  stop = true;
  trickle.join();
  EXPECT_LT(took, 3s);
  std::error_code noFolder;
  for (const auto& entry : std::filesystem::directory_iterator(server.folderOf("alice"), noFolder)) {
    ADD_FAILURE() << "left behind: " << entry.path();
  }
}

TEST(ParvaultLog, ClientFieldsAreQuotedWhenTheyCouldReadAsMore) {
  const struct {
    std::string text;
    const char* field;
  } cases[] = {
      {"/ParvaultAsp2/menu.asp", "/ParvaultAsp2/menu.asp"},
      {"alice", "alice"},
      {"", "\"\""},
      {"a user=bob", "\"a user=bob\""},
      {"x=1", "\"x=1\""},
      {"say \"hi\" \\o/", "\"say \\\"hi\\\" \\\\o/\""},
      {"line\r\nfake\x1B\x7F", "\"line\\x0D\\x0Afake\\x1B\\x7F\""},
      {"\xE8\xA1\xA8.jpg", "\xE8\xA1\xA8.jpg"},
  };
  for (const auto& c : cases) EXPECT_EQ(LogField(c.text), c.field) << c.text;
  EXPECT_EQ(LogQuoted("a.jpg"), "\"a.jpg\"");
}

}  // namespace
}  // namespace wharfling::server
