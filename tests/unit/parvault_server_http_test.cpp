// parvault-server over HTTP, as the uploader's Parvault driver and misbehaving clients use it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "server/accounts/accounts.h"
#include "server/parvault_server.h"
#include "server/state/sqlite_library_state.h"
#include "tests/support/http_test_client.h"
#include "tests/support/parvault_server_run.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/test_name.h"
#include "wharfling/texts.h"

namespace wharfling::server {
namespace {

using ::testing::AllOf;
using ::testing::AnyOf;
using ::testing::Contains;
using ::testing::Each;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using wharfling::testing::FileContents;
using wharfling::testing::FolderNames;
using wharfling::testing::HttpTestClient;
using wharfling::testing::ParvaultServerRun;
using wharfling::testing::ParvaultTestServer;
using wharfling::testing::RawConnection;
using wharfling::testing::RawExchange;
using wharfling::testing::RawPost;
using wharfling::testing::RawResponse;
using wharfling::testing::ReasonAfterMarker;
using wharfling::testing::TestHeaders;
using wharfling::testing::UploaderBody;

const std::string kFormType = "application/x-www-form-urlencoded";
constexpr std::string_view kLoginFailed =
    "ログインに失敗しました。IDまたはパスワードが間違っていないか確認ください。";

const std::string kUploadType(testing::kUploaderContentType);
constexpr std::string_view kOk = "HTTP/1.1 200 OK";
constexpr std::string_view kInsertFile = "/ParvaultAsp2/InsertFile.asp";

TestHeaders CookieHeader(const std::string& cookie) { return {{"Cookie", cookie}}; }

// The driver's view of an upload answer: refused when there is a Location value.
bool HasLocation(const std::string& headerBlock) {
  return headerBlock.find("Location:") != std::string::npos ||
         headerBlock.find("location:") != std::string::npos;
}

std::string LocationOf(const std::string& headerBlock) {
  const std::size_t at = headerBlock.find("Location: ");
  if (at == std::string::npos) return {};
  return headerBlock.substr(at + 10, headerBlock.find("\r\n", at) - at - 10);
}

// The uploader's header lines: its Content-Type, and the session cookie when there is one.
std::string UploadHeaders(const std::string& cookie) {
  return "Content-Type: " + kUploadType + "\r\n" + (cookie.empty() ? "" : "Cookie: " + cookie + "\r\n");
}

RawResponse RawUpload(int port, const std::string& cookie, const std::string& body,
                      std::string_view path = kInsertFile) {
  return RawExchange(port, RawPost(path, UploadHeaders(cookie), body));
}

// Nothing but the account folders and the state database in the storage folder.
auto OnlyAccountsAndState() {
  return Each(AnyOf("alice", StartsWith(std::string(state::kSqliteStateFileName))));
}

class ParvaultHttpTest : public ::testing::Test {
 protected:
  std::vector<std::string> Stored() const { return FolderNames(server_.folderOf("alice")); }
  std::string Bytes(const std::string& name) const { return FileContents(server_.folderOf("alice") / name); }
  // The uploader's upload of a file at `path` holding `bytes`.
  RawResponse Upload(const std::string& cookie, std::string_view path, std::string_view bytes,
                     std::string_view page = kInsertFile) const {
    return RawUpload(server_.port(), cookie, UploaderBody(path, bytes), page);
  }

  ParvaultTestServer server_;
};

TEST_F(ParvaultHttpTest, TheSiteUrlItselfAnswersTheLoginPage) {
  HttpTestClient client(server_.port());
  for (const char* path : {"/ParvaultAsp2", "/ParvaultAsp2/", "/", "/ParvaultAsp2/INDEX.HTM"}) {
    SCOPED_TRACE(path);
    const auto page = client.Get(path);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_FALSE(page->HasHeader("Location"));
    EXPECT_THAT(page->body, HasSubstr("logincheck2.asp"));
    EXPECT_THAT(page->Header("Content-Type"), HasSubstr("Shift_JIS"));
  }
}

TEST_F(ParvaultHttpTest, BothLoginFormsSignIn) {
  // The uploader's own sign-in (uid 1: the service's form, else the in-house one), run after run.
  const struct {
    int uid;
    std::string password;
    std::vector<std::string> statuses;
    std::vector<std::string> messages;
  } cases[] = {
      {1, "secret", {"成功"}, {}},
      {2, "secret", {"成功"}, {}},
      {1, "Secret", {"--"}, {std::string(kLoginFailed)}},
      {2, "wrong", {"--"}, {std::string(kLoginFailed)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uid);
    ParvaultServerRun run(server_);
    run.store.values[{"Settings", "Uid002"}] = c.uid;
    run.SetAccount("alice", c.password);
    run.AddPhoto("a.jpg", 10);
    run.Open();
    run.Press();
    EXPECT_EQ(run.Statuses(), c.statuses);
    EXPECT_EQ(run.Messages(), c.messages);
  }
  EXPECT_EQ(Stored(), (std::vector<std::string>{"a (2).jpg", "a.jpg"}));
  // Each signed-in run: the menu the login's Location names, the upload, the sign-out; then the refusals.
  for (const char* line : {"logincheck2.asp 302 signed in user=alice", "GET /ParvaultAsp2/menu.asp 200",
                           "InsertFile.asp 200 user=alice stored", "logout2.asp 200 signed out user=alice",
                           "login failed user=alice"}) {
    EXPECT_TRUE(server_.WaitForLog(line, 2)) << line;
  }
}

TEST_F(ParvaultHttpTest, ASignInSetsTheSessionCookieForTheMenu) {
  HttpTestClient client(server_.port());
  const auto answer =
      client.Post("/ParvaultAsp2/logincheck2.asp", "username=alice&password=secret", kFormType);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 302);
  EXPECT_EQ(answer->Header("Location"), "menu.asp");
  const std::string cookie = answer->Header("Set-Cookie");
  for (const char* part : {"PVSESSION=", "HttpOnly", "Path=/"}) EXPECT_THAT(cookie, HasSubstr(part));
  const auto menu = client.Get("/ParvaultAsp2/menu.asp", CookieHeader(cookie.substr(0, cookie.find(';'))));
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->status, 200);
  EXPECT_THAT(menu->body, HasSubstr("alice"));
  EXPECT_THAT(menu->body, HasSubstr("logout2.asp"));
}

TEST_F(ParvaultHttpTest, AWrongLoginGoesToErrorAsp) {
  HttpTestClient client(server_.port());
  for (const std::string body :
       {"username=alice&password=wrong", "username=alice&password=Secret", "username=carol&password=secret",
        "username=&password=", "username=alice", "password=secret", ""}) {
    SCOPED_TRACE(body);
    const auto answer = client.Post("/ParvaultAsp2/logincheck2.asp", body, kFormType);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 302);
    EXPECT_EQ(answer->Header("Location"), "Error.ASP");
    EXPECT_FALSE(answer->HasHeader("Set-Cookie"));
  }
  const auto page = client.Get("/ParvaultAsp2/Error.ASP");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(ReasonAfterMarker(page->body), texts::kServerLoginFailed);
}

TEST(ParvaultHttpAccountsTest, EscapedAndCp932CredentialsSignIn) {
  // 山田 / 秘密 in UTF-8, as the accounts file holds them; the uploader sends CP932.
  ParvaultTestServer server({MakeAccount("pw", "a&b=c%d+e f;#"),
                             MakeAccount("\xe5\xb1\xb1\xe7\x94\xb0", "\xe7\xa7\x98\xe5\xaf\x86")});
  EXPECT_FALSE(server.SignIn("pw", "a%26b%3Dc%25d%2Be%20f%3B%23").empty());
  EXPECT_FALSE(server.SignIn("pw", "a%26b%3Dc%25d%2Be+f%3B%23").empty());
  EXPECT_TRUE(server.SignIn("pw", "a&b=c%d+e f;#").empty());
  const std::string cookie = server.SignIn("\x8e\x52\x93\x63", "\x94\xe9\x96\xa7");
  ASSERT_FALSE(cookie.empty());
  const auto answer = RawUpload(server.port(), cookie, UploaderBody("C:\\p\\a.jpg", "jpeg"));
  EXPECT_EQ(answer.statusLine, kOk);
  EXPECT_EQ(FileContents(server.folderOf("\xe5\xb1\xb1\xe7\x94\xb0") / "a.jpg"), "jpeg");
}

TEST_F(ParvaultHttpTest, AStoredUploadIsA200WithoutLocation) {
  const std::string cookie = server_.SignIn();
  ASSERT_FALSE(cookie.empty());
  const std::string bytes("JPEG\0bytes", 10);  // a NUL byte does not end the file
  const auto answer = Upload(cookie, "C:\\Users\\u\\photo.jpg", bytes);
  EXPECT_EQ(answer.statusLine, kOk);
  EXPECT_FALSE(HasLocation(answer.headerBlock)) << answer.headerBlock;
  EXPECT_EQ(Stored(), std::vector<std::string>{"photo.jpg"});
  EXPECT_EQ(Bytes("photo.jpg"), bytes);
}

TEST_F(ParvaultHttpTest, UploadsNeverOverwrite) {
  const std::string cookie = server_.SignIn();
  const struct {
    std::string path, bytes, storedAs;
  } uploads[] = {{"/home/u/p/photo.jpg", "one", "photo.jpg"},
                 {"C:\\Users\\u\\photo.jpg", "two", "photo (2).jpg"},
                 {"photo.jpg", "three", "photo (3).jpg"}};
  for (const auto& u : uploads) EXPECT_EQ(Upload(cookie, u.path, u.bytes).statusLine, kOk);
  EXPECT_EQ(Stored(), (std::vector<std::string>{"photo (2).jpg", "photo (3).jpg", "photo.jpg"}));
  for (const auto& u : uploads) EXPECT_EQ(Bytes(u.storedAs), u.bytes);
}

TEST_F(ParvaultHttpTest, ACp932NameWhoseTrailByteIsABackslashKeepsItsName) {
  const std::string cookie = server_.SignIn();
  // C:\写真\表.jpg: the second byte of 表 is 5C.
  EXPECT_EQ(Upload(cookie, "C:\\\x8e\xca\x90\x5e\\\x95\x5c.jpg", "x").statusLine, kOk);
  EXPECT_EQ(Stored(), std::vector<std::string>{"\xe8\xa1\xa8.jpg"});
}

TEST_F(ParvaultHttpTest, UploadsNeedTheSessionCookie) {
  for (const std::string& cookie :
       {std::string(), "PVSESSION=" + std::string(64, '0'), std::string("other=1")}) {
    SCOPED_TRACE(cookie);
    const auto answer = Upload(cookie, "C:\\p\\photo.jpg", "x");
    EXPECT_EQ(answer.statusLine, "HTTP/1.1 302 Found");
    EXPECT_EQ(LocationOf(answer.headerBlock), "refused.asp?code=login");
  }
  EXPECT_TRUE(Stored().empty());
}

TEST_F(ParvaultHttpTest, SignOutEndsTheSession) {
  const std::string cookie = server_.SignIn();
  HttpTestClient client(server_.port());
  const auto answer = client.Get("/ParvaultAsp2/logout2.asp?user=alice&pw=secret", CookieHeader(cookie));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(LocationOf(Upload(cookie, "/p/a.jpg", "x").headerBlock), "refused.asp?code=login");
  // Without a session it still answers.
  const auto again = client.Get("/ParvaultAsp2/logout2.asp?user=alice&pw=secret");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 200);
}

TEST_F(ParvaultHttpTest, TheLogHasALinePerRequestAndNoPassword) {
  const std::string cookie = server_.SignIn("alice", "secret");
  server_.SignIn("alice", "hunter2");
  Upload(cookie, "/p/a.jpg", "x");
  HttpTestClient client(server_.port());
  client.Get("/ParvaultAsp2/logout2.asp?user=alice&pw=secret", CookieHeader(cookie));
  ASSERT_TRUE(server_.WaitForLog("logout2.asp"));
  const auto lines = server_.logLines();
  const std::vector<std::string> expected = {
      "POST /ParvaultAsp2/logincheck2.asp 302 signed in user=alice", "login failed user=alice",
      "POST /ParvaultAsp2/InsertFile.asp 200 user=alice stored \"a.jpg\"",
      "GET /ParvaultAsp2/logout2.asp 200 signed out user=alice"};
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_THAT(lines[i], HasSubstr(expected[i]));
    EXPECT_THAT(lines[i], Not(HasSubstr("secret")));
    EXPECT_THAT(lines[i], Not(HasSubstr("hunter2")));
  }
}

TEST_F(ParvaultHttpTest, ALogLineCannotBeSplitByAClient) {
  HttpTestClient client(server_.port());
  client.Post("/ParvaultAsp2/logincheck2.asp", "username=a%0D%0Afake line&password=x", kFormType);
  ASSERT_TRUE(server_.WaitForLog("logincheck2.asp"));
  const auto lines = server_.logLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], HasSubstr("user=\"a\\x0D\\x0Afake line\""));
}

TEST_F(ParvaultHttpTest, ClientTextsCannotPlantLogFields) {
  const std::string cookie = server_.SignIn();
  Upload(cookie, "C:\\p\\x.jpg (1 bytes) user=bob", "x");
  RawExchange(server_.port(),
              "GET /nowhere%20user=mallory%20stored%20%22z%22 HTTP/1.1\r\nHost: h\r\n"
              "Connection: close\r\n\r\n");
  ASSERT_TRUE(server_.WaitForLog("nowhere"));
  const auto lines = server_.logLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_THAT(lines[1], HasSubstr(" 200 user=alice stored \"x.jpg (1 bytes) user=bob\" (1 bytes)"));
  EXPECT_THAT(lines[2], HasSubstr(" GET \"/nowhere user=mallory stored \\\"z\\\"\" 404"));
}

TEST_F(ParvaultHttpTest, ARefusalPageCarriesTheReasonWhereTheDriverReadsIt) {
  const struct {
    std::string code;
    std::string reason;  // CP932
  } cases[] = {
      {"login", std::string(texts::kServerNotSignedIn)},
      // ファイルサイズが上限(4,000,000 Byte)を越えています, written out in CP932.
      {"size",
       "\x83\x74\x83\x40\x83\x43\x83\x8b\x83\x54\x83\x43\x83\x59\x82\xaa\x8f\xe3\x8c\xc0"
       "(4,000,000 Byte)\x82\xf0\x89\x7a\x82\xa6\x82\xc4\x82\xa2\x82\xdc\x82\xb7"},
      {"nofile", std::string(texts::kServerNoFile)},
      {"badname", std::string(texts::kServerBadFileName)},
      {"longname", std::string(texts::kServerFileNameTooLong)},
      {"malformed", std::string(texts::kServerMalformedUpload)},
      {"storage", std::string(texts::kServerCannotStore)},
      {"unheard-of", std::string(texts::kServerMalformedUpload)},
  };
  HttpTestClient client(server_.port());
  for (const auto& c : cases) {
    for (const std::string base : {"/ParvaultAsp2/", "/"}) {
      SCOPED_TRACE(base + c.code);
      const auto page = client.Get(base + "refused.asp?code=" + c.code);
      ASSERT_TRUE(page);
      EXPECT_EQ(page->status, 200);
      EXPECT_EQ(ReasonAfterMarker(page->body), c.reason);
    }
  }
}

TEST_F(ParvaultHttpTest, ABadUploadIsRefusedWithAReasonAndLeavesNothing) {
  const std::string part = "-----------------------------7d432817150952\r\n";
  const std::string end = "\r\n\r\nabc\r\n-----------------------------7d432817150952--\r\n";
  const struct {
    std::string label;
    std::string body;
    std::string code;
  } cases[] = {
      {"garbage", "this is not multipart at all", "malformed"},
      {"no closing line",
       part + "Content-Disposition: form-data; name=\"DataFile\"; filename=\"a.jpg\"\r\n\r\nabc\r\n",
       "malformed"},
      {"part without a field name", part + "Content-Disposition: attachment; filename=\"a.jpg\"" + end,
       "nofile"},
      {"another boundary",
       "--other\r\nContent-Disposition: form-data; name=\"DataFile\"; filename=\"a.jpg\""
       "\r\n\r\nabc\r\n--other--\r\n",
       "malformed"},
      {"text fields only",
       part + "Content-Disposition: form-data; name=\"FileID\"\r\n\r\n\r\n"
              "-----------------------------7d432817150952--\r\n",
       "nofile"},
      {"empty file name", UploaderBody("", "abc"), "nofile"},
      {"dot dot", UploaderBody("C:\\photos\\..", "abc"), "badname"},
      {"dot dot slash", UploaderBody("/home/u/..", "abc"), "badname"},
      {"hidden", UploaderBody("/home/u/.profile", "abc"), "badname"},
      {"folder only", UploaderBody("C:\\photos\\", "abc"), "badname"},
      {"control byte", UploaderBody("/home/u/a\x01.jpg", "abc"), "badname"},
      {"over-long name", UploaderBody("C:\\" + std::string(300, 'n') + ".jpg", "abc"), "longname"},
  };
  const std::string cookie = server_.SignIn();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const auto answer = RawUpload(server_.port(), cookie, c.body);
    EXPECT_EQ(answer.statusLine, "HTTP/1.1 302 Found");
    EXPECT_EQ(LocationOf(answer.headerBlock), "refused.asp?code=" + c.code);
    EXPECT_TRUE(Stored().empty());
    // Nothing was written beside the account folders either.
    EXPECT_THAT(FolderNames(server_.storage()), OnlyAccountsAndState());
  }
}

TEST_F(ParvaultHttpTest, PathsThatClimbStayInTheAccountFolder) {
  const std::string cookie = server_.SignIn();
  for (const char* path : {"../../../../tmp/evil.jpg", "..\\..\\evil2.jpg", "C:\\..\\..\\evil3.jpg"}) {
    EXPECT_EQ(Upload(cookie, path, "x").statusLine, kOk) << path;
  }
  EXPECT_EQ(Stored(), (std::vector<std::string>{"evil.jpg", "evil2.jpg", "evil3.jpg"}));
  EXPECT_THAT(FolderNames(server_.storage()), AllOf(Contains("alice"), OnlyAccountsAndState()));
}

TEST_F(ParvaultHttpTest, ANonMultipartUploadIsRefused) {
  const std::string cookie = server_.SignIn();
  const std::string request =
      RawPost(kInsertFile, "Content-Type: text/plain\r\nCookie: " + cookie + "\r\n", "x");
  EXPECT_EQ(LocationOf(RawExchange(server_.port(), request).headerBlock), "refused.asp?code=malformed");
}

// How a limit case sends its upload to InsertFile.asp.
enum class Sending {
  kWhole,            // Content-Length, then the body
  kWithoutWaiting,   // the test client's post, which sends the body without waiting for an answer
  kChunked,          // Transfer-Encoding: chunked, 8 KiB a chunk
  kHeaderOnly,       // Content-Length declared; the body never comes
  kHeaderExpecting,  // the same, with Expect: 100-continue
};

struct LimitCase {
  std::string name;
  Sending sending;
  std::size_t bytes;  // the file's bytes in the uploader's body; the declared length for a header only
  bool signedIn;
  std::string refusal;  // the code of the refusal; empty: stored
};

void PrintTo(const LimitCase& value, std::ostream* out) { *out << value.name; }

struct LimitAnswer {
  int status = 0;
  std::string location;
  std::string headerBlock;        // empty from the test client
  std::size_t responseCount = 1;  // of a raw connection
};

LimitAnswer FromRaw(const RawResponse& raw) {
  return {raw.statusLine.size() > 12 ? std::stoi(raw.statusLine.substr(9, 3)) : 0,
          LocationOf(raw.headerBlock), raw.headerBlock, raw.responseCount};
}

class ParvaultLimitTest : public ::testing::TestWithParam<LimitCase> {
 protected:
  static constexpr std::uint64_t kLimit = 100000;

  LimitAnswer Send(const std::string& cookie) {
    const LimitCase& c = GetParam();
    // Made only for the rows that send it: a header-only row declares far more than it holds.
    const auto body = [&] { return UploaderBody("/p/limit.jpg", std::string(c.bytes, 'L')); };
    const std::string head = "POST /ParvaultAsp2/InsertFile.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                             UploadHeaders(c.signedIn ? cookie : "");
    switch (c.sending) {
      case Sending::kWhole:
        return FromRaw(RawUpload(server_.port(), c.signedIn ? cookie : "", body()));
      case Sending::kWithoutWaiting: {
        HttpTestClient client(server_.port());
        const auto answer = client.Post(std::string(kInsertFile), CookieHeader(cookie), body(), kUploadType);
        if (!answer) return {-1, client.error(), "", 1};
        return {answer->status, answer->Header("Location"), "", 1};
      }
      case Sending::kChunked: {
        std::string request = head + "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
        const std::string whole = body();
        for (std::size_t at = 0; at < whole.size(); at += 8192) {
          const std::string chunk = whole.substr(at, 8192);
          char size[16];
          std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
          request += size + chunk + "\r\n";
        }
        return FromRaw(RawExchange(server_.port(), request + "0\r\n\r\n"));
      }
      case Sending::kHeaderOnly:
      case Sending::kHeaderExpecting: {
        RawConnection connection(server_.port());
        const bool expecting = c.sending == Sending::kHeaderExpecting;
        if (!connection.Send(head + "Content-Length: " + std::to_string(c.bytes) + "\r\n" +
                             (expecting ? "Expect: 100-continue\r\n" : "") + "\r\n"))
          return {};
        return FromRaw(testing::ParseRawResponse(connection.ReadUntilClosed()));
      }
    }
    return {};
  }

  ParvaultTestServer server_{{}, [](ParvaultServerOptions& options) { options.maxFileSize = kLimit; }};
};

TEST_P(ParvaultLimitTest, Upload) {
  const std::string cookie = server_.SignIn();
  const LimitAnswer answer = Send(cookie);
  const bool stored = GetParam().refusal.empty();
  EXPECT_EQ(answer.status, stored ? 200 : 302);
  EXPECT_EQ(answer.location, stored ? "" : "refused.asp?code=" + GetParam().refusal);
  EXPECT_EQ(answer.responseCount, 1u) << "one answer, whatever came after the header";
  if (!stored && !answer.headerBlock.empty()) {
    EXPECT_THAT(answer.headerBlock, HasSubstr("Connection: close"));
  }
  if (stored) {
    EXPECT_EQ(FileContents(server_.folderOf("alice") / "limit.jpg").size(), GetParam().bytes);
  } else {
    EXPECT_TRUE(FolderNames(server_.folderOf("alice")).empty());
  }
  // The server goes on serving.
  EXPECT_EQ(RawUpload(server_.port(), cookie, UploaderBody("/p/small.jpg", "s")).statusLine, kOk);
}

INSTANTIATE_TEST_SUITE_P(
    Sending, ParvaultLimitTest,
    ::testing::Values(
        LimitCase{"AFileOfExactlyTheLimitIsStored", Sending::kWhole, 100000, true, ""},
        // The body's length is within what the header check lets through; the file is counted as it comes.
        LimitCase{"OneByteMoreIsRefusedWhileStreaming", Sending::kWhole, 100001, true, "size"},
        // The server answers before reading the body and drops what still comes (without keeping it), so
        // that the answer arrives rather than a reset.
        LimitCase{"ALargeBodyIsRefusedAndTheClientStillGetsTheAnswer", Sending::kWithoutWaiting, 3'000'000,
                  true, "size"},
        LimitCase{"AChunkedBodyOverTheLimitIsRefused", Sending::kChunked, 300000, true, "size"},
        LimitCase{"ADeclaredLengthOverTheLimitIsRefusedBeforeTheBody", Sending::kHeaderOnly, 999999999, true,
                  "size"},
        LimitCase{"AnExpectingClientIsRefusedBeforeItSendsTheBody", Sending::kHeaderExpecting, 5000000, false,
                  "login"}),
    [](const ::testing::TestParamInfo<LimitCase>& param) { return param.param.name; });

TEST_F(ParvaultHttpTest, AnUploadCutOffHalfWayLeavesNoFile) {
  const std::string cookie = server_.SignIn();
  const std::string request =
      RawPost(kInsertFile, UploadHeaders(cookie), UploaderBody("/p/cut.jpg", std::string(200000, 'c')));
  {
    RawConnection connection(server_.port());
    ASSERT_TRUE(connection.Send(request.substr(0, request.size() / 2)));
    // Wait until the server holds a temporary file, so that the cut really falls mid-file.
    for (int i = 0; i < 3000 && FolderNames(server_.folderOf("alice")).empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(FolderNames(server_.folderOf("alice")).size(), 1u);
  }
  ASSERT_TRUE(server_.WaitForLog("InsertFile.asp"));
  EXPECT_THAT(server_.logLines().back(), HasSubstr("refused malformed"));
  EXPECT_TRUE(Stored().empty());
}

TEST_F(ParvaultHttpTest, ARefusedConnectionCarriesNoStrayAnswers) {
  // Without closing, the unread body would be parsed as further requests and answered.
  const std::string body = UploaderBody("/p/a.jpg", std::string(50000, 'x'));
  RawConnection connection(server_.port());
  ASSERT_TRUE(connection.Send("POST /ParvaultAsp2/InsertFile.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                              UploadHeaders("") + "Content-Length: " + std::to_string(body.size()) +
                              "\r\n\r\n" + body));
  const auto answer = testing::ParseRawResponse(connection.ReadUntilClosed());
  EXPECT_EQ(LocationOf(answer.headerBlock), "refused.asp?code=login");
  EXPECT_EQ(answer.responseCount, 1u);
}

TEST_F(ParvaultHttpTest, KeepAliveConnectionsCarrySeveralUploads) {
  const std::string cookie = server_.SignIn();
  HttpTestClient client(server_.port());
  for (int i = 0; i < 5; ++i) {
    const auto answer = client.Post(std::string(kInsertFile), CookieHeader(cookie),
                                    UploaderBody("/p/k.jpg", std::to_string(i)), kUploadType);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
  }
  EXPECT_EQ(Stored().size(), 5u);
}

TEST_F(ParvaultHttpTest, ManyUploadsAtOnceAreEachStoredOnce) {
  const std::string cookie = server_.SignIn();
  constexpr int kClients = 24;
  const auto bytesOf = [](int i) {
    return "photo number " + std::to_string(i) + std::string(20000 + i, 'p');
  };
  std::atomic<int> stored{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back(
        [&, i] { stored += Upload(cookie, "C:\\p\\same.jpg", bytesOf(i)).statusLine == kOk; });
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(stored.load(), kClients);
  const auto names = Stored();
  ASSERT_EQ(names.size(), static_cast<std::size_t>(kClients));
  std::set<std::string> contents;
  for (const auto& name : names) contents.insert(Bytes(name));
  for (int i = 0; i < kClients; ++i) EXPECT_EQ(contents.count(bytesOf(i)), 1u) << i;
}

TEST_F(ParvaultHttpTest, ServesTheRootAndIgnoresTheCaseOfPageNames) {
  const std::string cookie = server_.SignIn();
  for (const char* path :
       {"/InsertFile.asp", "/parvaultasp2/insertfile.asp", "/PARVAULTASP2/INSERTFILE.ASP"}) {
    EXPECT_EQ(Upload(cookie, "/p/r.jpg", "r", path).statusLine, kOk) << path;
  }
  EXPECT_EQ(Stored().size(), 3u);
  HttpTestClient client(server_.port());
  const auto missing = client.Get("/ParvaultAsp2/nothing.asp");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  const std::string text = "x";
  const auto put = client.Send("PUT", "/ParvaultAsp2/InsertFile.asp", {}, &text, "text/plain");
  ASSERT_TRUE(put);
  EXPECT_EQ(put->status, 405);
}

TEST(ParvaultServerTest, ASecondServerCannotTakeTheSamePort) {
  ParvaultTestServer first;
  std::string error;
  ParvaultServerOptions options;
  options.port = first.port();
  options.storage = first.storage() / "second";
  ParvaultServer second(options);
  EXPECT_FALSE(second.Start(error));
  EXPECT_THAT(error, HasSubstr(std::to_string(first.port())));
}

TEST(ParvaultServerTest, StopsWithAnIdleConnectionOpen) {
  auto server = std::make_unique<ParvaultTestServer>();
  RawConnection idle(server->port());
  ASSERT_TRUE(idle.connected());
  server->server().Stop();  // returns: the idle connection does not hold it
  EXPECT_EQ(idle.ReadUntilClosed(), "");
}

TEST(ParvaultServerTest, RemovesTemporaryFilesLeftByAnEarlierRun) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir.path() / "alice");
  std::ofstream(dir.path() / "alice" / ".upload-00112233.part") << "half";
  std::ofstream(dir.path() / "alice" / "kept.jpg") << "whole";
  ParvaultTestServer server({}, [&](ParvaultServerOptions& options) { options.storage = dir.path(); });
  EXPECT_EQ(FolderNames(dir.path() / "alice"), std::vector<std::string>{"kept.jpg"});
}

}  // namespace
}  // namespace wharfling::server
