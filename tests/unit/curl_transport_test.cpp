// What the curl transport puts on the wire and what it makes of what comes back, against loopback
// servers that record the exact bytes of each request.

#include "platform/posix/curl_transport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_ca.h"
#include "web/page_tools.h"
#include "web/web_client.h"

namespace wharfling {
namespace {

using posix::CurlTransport;
using posix::CurlTransportOptions;
using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;
using testing::TestCa;

const TestCa& Ca() {
  static const TestCa ca({"www.example.test", "photo.example.test"});
  return ca;
}

constexpr std::uint32_t kSecure = kFlagNoAutoRedirect | kFlagSecure;

bool Fetch(WebClient& client, std::string_view url, std::uint32_t flags = kFlagNoAutoRedirect,
           AccessMode mode = AccessMode::kDirect, const RequestProfile& profile = Msie6Profile()) {
  return client.HttpExchange(profile, url, Method::kGet, flags, "", std::nullopt, mode);
}

// Replies come from a queue the test fills; an empty queue gives an empty 200 page.
class ScriptedSite {
 public:
  LoopbackServer::Handler Handler() {
    return [this](const RecordedRequest&) {
      std::lock_guard lock(mutex_);
      if (replies_.empty()) return Reply::Ok("");
      Reply reply = replies_.front();
      replies_.erase(replies_.begin());
      return reply;
    };
  }
  void Push(Reply reply) {
    std::lock_guard lock(mutex_);
    replies_.push_back(std::move(reply));
  }

 private:
  std::mutex mutex_;
  std::vector<Reply> replies_;
};

class CurlTransportTest : public ::testing::Test {
 protected:
  CurlTransportTest()
      : plain_(plainSite_.Handler()),
        tls_(tlsSite_.Handler(), {Ca().serverCertPem(), Ca().serverKeyPem()}),
        transport_(Options()),
        client_(transport_, codec_) {}

  CurlTransportOptions Options(std::map<std::string, std::string> environment = {}) {
    CurlTransportOptions options;
    options.caFile = Ca().caBundlePath();
    // The default ports of the real host name reach the two servers; any other port goes to 127.0.0.1.
    options.connectTo = "www.example.test:80:127.0.0.1:" + std::to_string(plain_.port()) +
                        ", www.example.test:443:127.0.0.1:" + std::to_string(tls_.port()) + ",::127.0.0.1:";
    options.ownCookieStore = true;
    options.environment = [environment](const char* name) -> std::optional<std::string> {
      const auto found = environment.find(name);
      if (found == environment.end()) return std::nullopt;
      return found->second;
    };
    return options;
  }

  bool Get(std::string_view url, std::uint32_t flags = kFlagNoAutoRedirect) {
    return Fetch(client_, url, flags);
  }

  RecordedRequest LastPlain() const {
    const auto requests = plain_.requests();
    return requests.empty() ? RecordedRequest{} : requests.back();
  }

  ScriptedSite plainSite_;
  ScriptedSite tlsSite_;
  LoopbackServer plain_;
  LoopbackServer tls_;
  CurlTransport transport_;
  IdentityTextCodec codec_;
  WebClient client_;
};

TEST_F(CurlTransportTest, RequestGoesOutAsTheBrowserSendsIt) {
  // Host, User-Agent and Content-Length are the client's own; every other line is the profile's, in
  // its order, then a POST's form type and the extra header. A GET has no body and no form type, and
  // a POST with an empty body still has its form type.
  const std::string msie6 =
      "Host: www.example.test\r\n"
      "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)\r\n"
      "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
      "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, */*\r\n"
      "Accept-Language: ja\r\n"
      "Proxy-Connection: Keep-Alive\r\n";
  const std::string msie7 =
      "Host: www.example.test\r\n"
      "User-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; .NET CLR "
      "2.0.50727)\r\n"
      "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-excel, "
      "application/vnd.ms-powerpoint, application/msword, application/x-silverlight, "
      "application/x-shockwave-flash, */*\r\n"
      "Accept-Language: ja\r\n"
      "Cache-Control: no-cache\r\n"
      "Accept-Encoding: gzip, deflate\r\n";
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
  const std::string referer = "Referer: http://www.example.test/top";
  const struct {
    const RequestProfile& profile;
    Method method;
    std::string body;
    std::optional<std::string> extraHeader;
    std::string request;  // as it arrives, byte for byte
  } cases[] = {
      {Msie6Profile(), Method::kGet, "", std::nullopt, "GET /page HTTP/1.1\r\n" + msie6 + "\r\n"},
      {Msie7Profile(), Method::kGet, "", std::nullopt, "GET /page HTTP/1.1\r\n" + msie7 + "\r\n"},
      {Msie6Profile(), Method::kPost, "", referer,
       "POST /page HTTP/1.1\r\n" + msie6 + form + referer + "\r\nContent-Length: 0\r\n\r\n"},
      {Msie7Profile(), Method::kPost, "id=me&pw=%21x", referer,
       "POST /page HTTP/1.1\r\n" + msie7 + form + referer + "\r\nContent-Length: 13\r\n\r\nid=me&pw=%21x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request.substr(0, c.request.find("\r\n")) + " as " + std::string(c.profile.userAgent));
    ASSERT_TRUE(client_.HttpExchange(c.profile, "http://www.example.test/page", c.method, kFlagNoAutoRedirect,
                                     c.body, c.extraHeader, AccessMode::kDirect));
    EXPECT_EQ(LastPlain().raw, c.request);
  }
}

TEST_F(CurlTransportTest, TargetReachesTheServerDecoded) {
  ASSERT_TRUE(Get("http://www.example.test/a%2Fb/up.cgi?next=%2Fhome%3Fx%3D1&f= true&j=%82%A0"));
  // Only the blank goes out escaped; "/", "?" and "=" arrive as the characters they stood for.
  EXPECT_EQ(LastPlain().target, "/a/b/up.cgi?next=/home?x=1&f=%20true&j=\x82\xA0");
}

TEST_F(CurlTransportTest, SecureFlagOrHttpsSchemeChoosesTheChannel) {
  const std::string plainPort = std::to_string(plain_.port());
  const std::string tlsPort = std::to_string(tls_.port());
  // An https URL is never sent in clear, flag or not: the plain server sees no request.
  EXPECT_FALSE(Get("https://www.example.test:" + plainPort + "/clear", kFlagNoAutoRedirect));
  EXPECT_TRUE(plain_.requests().empty());
  EXPECT_FALSE(client_.lastError().empty());
  ASSERT_TRUE(Get("https://www.example.test:" + tlsPort + "/scheme", kFlagNoAutoRedirect));
  ASSERT_TRUE(Get("http://www.example.test:" + tlsPort + "/sealed", kSecure));
  ASSERT_EQ(tls_.requests().size(), 2u);
  EXPECT_EQ(tls_.requests().front().target, "/scheme");
  EXPECT_EQ(tls_.requests().back().target, "/sealed");
  // Plain bytes sent to the TLS server fail, as do TLS bytes sent to the plain one.
  EXPECT_FALSE(Get("https://www.example.test:" + plainPort + "/x", kSecure));
  EXPECT_TRUE(plain_.requests().empty());
}

TEST_F(CurlTransportTest, CookiesRoundTripAcrossExchangesAndChannels) {
  plainSite_.Push(Reply::Ok("signed in", "Set-Cookie: sid=abc123; path=/\r\n"));
  ASSERT_TRUE(Get("http://www.example.test/login"));
  EXPECT_FALSE(LastPlain().HasHeader("Cookie"));
  ASSERT_TRUE(Get("http://www.example.test/home"));
  EXPECT_EQ(LastPlain().Header("Cookie"), "sid=abc123");
  ASSERT_TRUE(Get("https://www.example.test/upload", kSecure));
  ASSERT_EQ(tls_.requests().size(), 1u);
  EXPECT_EQ(tls_.requests().back().Header("Cookie"), "sid=abc123");

  // A transport with a store of its own sees none of these cookies.
  CurlTransportOptions options = Options();
  options.ownCookieStore = true;
  CurlTransport other(options);
  WebClient otherClient(other, codec_);
  ASSERT_TRUE(Fetch(otherClient, "http://www.example.test/x"));
  EXPECT_FALSE(LastPlain().HasHeader("Cookie"));
}

TEST_F(CurlTransportTest, RedirectIsNotFollowed) {
  plainSite_.Push(Reply::Make("HTTP/1.1 302 Found", "Location: http://www.example.test/next\r\n", "moved"));
  ASSERT_TRUE(Get("http://www.example.test/start"));
  EXPECT_EQ(plain_.requests().size(), 1u);
  EXPECT_EQ(client_.PageText(), "moved");
  Text location;
  EXPECT_TRUE(ExtractRedirect(client_.lastResponse().HeaderBlocks, location));
  EXPECT_EQ(location, "http://www.example.test/next");
}

TEST_F(CurlTransportTest, HeaderBlockIsTheFinalResponseOnly) {
  plainSite_.Push(
      Reply::Raw("HTTP/1.1 100 Continue\r\nX-Interim: yes\r\n\r\n"
                 "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-Final: yes\n\r\nok"));
  ASSERT_TRUE(Get("http://www.example.test/"));
  EXPECT_EQ(client_.HeaderText(), "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-Final: yes\r\n");
  EXPECT_EQ(client_.PageText(), "ok");
}

TEST_F(CurlTransportTest, OnlyABlocksFirstLineIsItsStatusAndTrailersAreNoHeaders) {
  const struct {
    const char* what;
    std::string raw;
    std::string headers;
    std::string body;
  } cases[] = {
      {"an HTTP/ header line after a 500",
       "HTTP/1.1 500 Internal Server Error\r\nHTTP/1.1 200 OK: yes\r\nContent-Length: 2\r\n\r\nno",
       "HTTP/1.1 500 Internal Server Error\r\nHTTP/1.1 200 OK: yes\r\nContent-Length: 2\r\n", "no"},
      {"an empty chunked 500 with a status-like trailer",
       "HTTP/1.1 500 Internal Server Error\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n"
       "HTTP/1.1 200 OK: yes\r\n\r\n",
       "HTTP/1.1 500 Internal Server Error\r\nTransfer-Encoding: chunked\r\n", ""},
      {"a 200 with a Location trailer",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\nLocation: /refused\r\n\r\n",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n", "ok"},
      {"interim blocks start their own",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\nX-Interim: 1\r\n\r\n"
       "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n",
       "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n", ""},
  };
  for (const auto& c : cases) {
    plainSite_.Push(Reply::Raw(c.raw));
    ASSERT_TRUE(Get("http://www.example.test/")) << c.what << ": " << client_.lastError();
    EXPECT_EQ(client_.HeaderText(), c.headers) << c.what;
    EXPECT_EQ(client_.PageText(), c.body) << c.what;
  }
}

TEST_F(CurlTransportTest, LongHeaderBlockIsCapturedWhole) {
  std::string cookies;
  for (int i = 0; i < 300; ++i)
    cookies += "Set-Cookie: c" + std::to_string(i) + "=" + std::string(30, 'v') + "\r\n";
  plainSite_.Push(Reply::Make("HTTP/1.1 302 Found", cookies + "Location: /home\r\n", ""));
  ASSERT_TRUE(Get("http://www.example.test/login"));
  const Text headers = client_.HeaderText();
  EXPECT_GT(headers.size(), 10239u);
  EXPECT_EQ(headers, "HTTP/1.1 302 Found\r\n" + cookies + "Location: /home\r\nContent-Length: 0\r\n");
  EXPECT_TRUE(PageContains(client_.lastResponse().HeaderBlocks, "Location: /home"));
}

TEST_F(CurlTransportTest, BodyIsKeptAsReadsEndingAtTheirFirstZeroByte) {
  std::string large;
  for (int i = 0; i < 2500; ++i) large += "0123456789";  // 25,000 bytes
  const struct {
    std::string body;
    ChunkList chunks;
  } cases[] = {
      {"", {}},
      {std::string("abc\0def", 7), {"abc"}},
      {large, {large.substr(0, 10240), large.substr(10240, 10240), large.substr(20480)}},
  };
  for (const auto& c : cases) {
    plainSite_.Push(Reply::Ok(c.body));
    ASSERT_TRUE(Get("http://www.example.test/page"));
    EXPECT_EQ(client_.lastResponse().BodyChunks, c.chunks) << c.body.size();
  }
}

TEST_F(CurlTransportTest, ChunkedTransferIsDecodedButContentEncodingIsNot) {
  const std::string gzipped(
      "\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03\xCB\x48\xCD\xC9\xC9\x07\x00\x86\xA6\x10\x36"
      "\x05\x00\x00\x00",
      25);
  plainSite_.Push(Reply::Make("HTTP/1.1 200 OK", "Content-Encoding: gzip\r\n", gzipped));
  ASSERT_TRUE(
      Fetch(client_, "http://www.example.test/z", kFlagNoAutoRedirect, AccessMode::kDirect, Msie7Profile()));
  EXPECT_EQ(client_.lastResponse().BodyChunks,
            (ChunkList{"\x1F\x8B\x08"}));  // as received, up to its zero byte

  plainSite_.Push(Reply::Raw(
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"));
  ASSERT_TRUE(Get("http://www.example.test/c"));
  EXPECT_EQ(client_.PageText(), "hello world");
}

TEST_F(CurlTransportTest, NoResponseFailsAndEmptiesLastResponse) {
  ASSERT_TRUE(Get("http://www.example.test/first"));
  ASSERT_FALSE(client_.lastResponse().HeaderBlocks.empty());
  plainSite_.Push(Reply::CloseWithoutReply());
  EXPECT_FALSE(Get("http://www.example.test/second"));
  EXPECT_TRUE(client_.lastResponse().HeaderBlocks.empty());
  EXPECT_TRUE(client_.lastResponse().BodyChunks.empty());
}

TEST_F(CurlTransportTest, BodyCutShortKeepsWhatArrived) {
  plainSite_.Push(Reply::Raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial", true));
  EXPECT_TRUE(Get("http://www.example.test/"));
  EXPECT_EQ(client_.PageText(), "partial");
}

TEST_F(CurlTransportTest, NothingListeningFailsSayingWhy) {
  std::uint16_t closedPort = 0;
  {
    LoopbackServer gone([](const RecordedRequest&) { return Reply::Ok(""); });
    closedPort = gone.port();
  }
  EXPECT_FALSE(Get("http://www.example.test:" + std::to_string(closedPort) + "/"));
  EXPECT_NE(client_.lastError().find("Failed to connect to 127.0.0.1 port " + std::to_string(closedPort)),
            std::string::npos)
      << client_.lastError();
}

TEST_F(CurlTransportTest, ReplyPastTheCapFailsAsAFailedSend) {
  // Header blocks meet curl's own, smaller limit first; bodies meet the reply cap.
  const char* const overCap = "the reply is larger than 32 MiB";
  const char* const overCurls = "Too large response headers";
  const struct {
    const char* what;
    Reply reply;
    const char* error;
  } cases[] = {
      {"endless body",
       Reply::Endless("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", std::string(65536, 'x')),
       overCap},
      {"a length past the cap", Reply::Ok(std::string(kMaxReplyBytes, 'y')), overCap},
      {"endless header lines",
       Reply::Endless("HTTP/1.1 200 OK\r\n", "X-Filler: " + std::string(1000, 'h') + "\r\n"), overCurls},
      {"endless interim responses", Reply::Endless("", "HTTP/1.1 100 Continue\r\n\r\n"), overCurls},
  };
  for (const auto& c : cases) {
    plainSite_.Push(c.reply);
    EXPECT_FALSE(Get("http://www.example.test/")) << c.what;
    EXPECT_TRUE(client_.lastError().starts_with(c.error)) << c.what << ": " << client_.lastError();
    EXPECT_TRUE(client_.lastResponse().HeaderBlocks.empty()) << c.what;
    EXPECT_TRUE(client_.lastResponse().BodyChunks.empty()) << c.what;
  }
  // A reply just inside the cap is whole.
  const std::string body(kMaxReplyBytes - 100, 'z');
  plainSite_.Push(Reply::Ok(body));
  ASSERT_TRUE(Get("http://www.example.test/"));
  EXPECT_EQ(client_.PageText().size(), body.size());
}

TEST_F(CurlTransportTest, UntrustedOrMisnamedCertificateFails) {
  CurlTransportOptions options = Options();
  options.caFile.clear();
  CurlTransport untrusting(options);
  WebClient client(untrusting, codec_);
  EXPECT_FALSE(Fetch(client, "https://www.example.test/", kSecure));
  // The certificate names www.example.test and photo.example.test only.
  EXPECT_FALSE(Get("https://other.example.test:" + std::to_string(tls_.port()) + "/", kSecure));
  EXPECT_TRUE(Get("https://photo.example.test:" + std::to_string(tls_.port()) + "/", kSecure));
  EXPECT_EQ(tls_.requests().size(), 1u);
}

TEST_F(CurlTransportTest, SystemSettingsGoThroughTheProxyWithTheAbsoluteTarget) {
  ScriptedSite proxySite;
  LoopbackServer proxy(proxySite.Handler());
  const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port());
  CurlTransport viaProxy(Options({{"http_proxy", proxyUrl}, {"https_proxy", proxyUrl}}));
  WebClient client(viaProxy, codec_);

  ASSERT_TRUE(Fetch(client, "http://www.example.test/p%3Fq?a=%2F b", kFlagNoAutoRedirect,
                    AccessMode::kSystemSettings));
  ASSERT_EQ(proxy.requests().size(), 1u);
  EXPECT_EQ(proxy.requests().back().target, "http://www.example.test/p?q?a=/%20b");
  EXPECT_EQ(proxy.requests().back().Header("Host"), "www.example.test");
  EXPECT_TRUE(plain_.requests().empty());

  // A secure request asks the proxy for a tunnel to the host and port.
  proxySite.Push(Reply::CloseWithoutReply());
  EXPECT_FALSE(Fetch(client, "https://www.example.test/s", kSecure, AccessMode::kSystemSettings));
  ASSERT_EQ(proxy.requests().size(), 2u);
  EXPECT_EQ(proxy.requests().back().method, "CONNECT");
  EXPECT_EQ(proxy.requests().back().target, "www.example.test:443");

  // Direct mode ignores the proxy settings.
  ASSERT_TRUE(Fetch(client, "http://www.example.test/d"));
  EXPECT_EQ(proxy.requests().size(), 2u);
  EXPECT_EQ(LastPlain().target, "/d");
}

TEST_F(CurlTransportTest, UploadBodyArrivesByteForByte) {
  testing::TempDir dir;
  const std::string photo("\xFF\xD8\0\r\n\xFF\xD9", 7);
  const std::string path = dir.WriteFile("photo.jpg", photo);
  plainSite_.Push(Reply::Ok("uploaded"));
  ASSERT_TRUE(client_.SendUpload(UploadSender::kOlio, "http://www.example.test/upload?album=7",
                                 kFlagNoAutoRedirect, "Referer: http://www.example.test/form", path,
                                 {{"web_album_id", "77"}}));
  const RecordedRequest request = LastPlain();
  EXPECT_EQ(request.body,
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"web_album_id\"\r\n\r\n77\r\n"
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"filedata[0]\"; filename=\"" +
                path + "\"\r\nContent-Type: image/jpeg\r\n\r\n" + photo +
                "\r\n-----------------------------7d432817150952--\r\n");
  EXPECT_EQ(request.Header("Content-Type"),
            "multipart/form-data; boundary=---------------------------7d432817150952");
  EXPECT_EQ(
      request.Header("Accept"),
      "text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5");
  EXPECT_EQ(request.HeaderCount("Accept"), 1);
  EXPECT_EQ(request.Header("Accept-Encoding"), "gzip,deflate");
  EXPECT_EQ(request.headers.back().first, "Content-Length");
  EXPECT_EQ(request.headers[request.headers.size() - 2].first, "Referer");
  EXPECT_FALSE(request.HasHeader("Expect"));
  EXPECT_EQ(client_.PageText(), "uploaded");

  // The same photo removed before its send: nothing reaches the site.
  std::filesystem::remove(path);
  EXPECT_FALSE(client_.SendUpload(UploadSender::kOlio, "http://www.example.test/upload?album=7",
                                  kFlagNoAutoRedirect, std::nullopt, path, {{"web_album_id", "77"}}));
  EXPECT_EQ(plain_.requests().size(), 1u);
  EXPECT_TRUE(client_.lastResponse().BodyChunks.empty());
}

TEST_F(CurlTransportTest, LargeUploadArrivesWhole) {
  testing::TempDir dir;
  std::string photo(3'000'000, '\0');
  for (std::size_t i = 0; i < photo.size(); ++i) photo[i] = static_cast<char>(i * 7 + i / 251);
  const std::string path = dir.WriteFile("big.jpg", photo);
  ASSERT_TRUE(client_.SendUpload(UploadSender::kFueru, "http://www.example.test/up", kFlagNoAutoRedirect,
                                 std::nullopt, path));
  const RecordedRequest request = LastPlain();
  EXPECT_EQ(request.Header("Content-Length"), std::to_string(request.body.size()));
  EXPECT_NE(request.body.find(photo), std::string::npos);
  EXPECT_FALSE(request.HasHeader("Expect"));
  EXPECT_TRUE(client_.lastError().empty()) << client_.lastError();
  EXPECT_FALSE(client_.trouble().incompleteSend);
}

TEST_F(CurlTransportTest, ReplyToAnUploadCutOffIsKeptButMarkedIncomplete) {
  testing::TempDir dir;
  const std::string path = dir.WriteFile("big.jpg", std::string(4'000'000, 'p'));
  const struct {
    const char* what;
    Reply reply;
  } cases[] = {
      {"a success page", Reply::Ok("<html>stored</html>")},
      {"a refusal", Reply::Make("HTTP/1.1 302 Found", "Location: refused.asp\r\n", "")},
  };
  for (const auto& c : cases) {
    plain_.SetEarlyHandler([&](const RecordedRequest&) { return std::optional<Reply>(c.reply); });
    client_.ClearTrouble();
    EXPECT_TRUE(client_.SendUpload(UploadSender::kParvault, "http://www.example.test/InsertFile.asp",
                                   kFlagNoAutoRedirect, std::nullopt, path))
        << c.what << ": " << client_.lastError();
    EXPECT_EQ(client_.HeaderText(), c.reply.raw.substr(0, c.reply.raw.find("\r\n\r\n") + 2)) << c.what;
    EXPECT_TRUE(client_.trouble().incompleteSend) << c.what;
    EXPECT_TRUE(client_.lastError().starts_with("the request went out incomplete (")) << client_.lastError();
    EXPECT_LT(LastPlain().body.size(), 1'000'000u) << c.what;
  }
}

// A listener that accepts connections (the kernel does) and never says a word: a TLS hello waits.
class SilentListener {
 public:
  SilentListener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd_, 8) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("silent listener");
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentListener() { ::close(fd_); }
  std::uint16_t port() const { return port_; }

 private:
  int fd_;
  std::uint16_t port_ = 0;
};

TEST_F(CurlTransportTest, EveryExchangeEndsByALimitOrACancel) {
  using std::chrono::milliseconds;
  const posix::TransferLimits shortLimits{.connect = milliseconds(500),
                                          .stallBytes = 1024,
                                          .stallWindow = milliseconds(1000),
                                          .replyCeiling = milliseconds(2000)};
  const std::string okHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
  const char* const noWholeReply = "no whole reply within 2 s of the request";
  const Reply drip = Reply::Drip(okHead, "x", milliseconds(500));
  const Reply endless = Reply::Drip(okHead, std::string(2048, 'x'), milliseconds(100));
  const auto Later = [](milliseconds delay) {
    Reply reply = Reply::Ok("ok");
    reply.fault = Reply::Fault::kDelayBeforeReply;
    reply.delay = delay;
    return reply;
  };
  const struct {
    const char* what;
    std::optional<Reply> reply;  // none: an https request to a listener that never answers the hello
    posix::TransferLimits limits;
    std::optional<milliseconds> cancelAfter;
    std::optional<milliseconds> deadlineAfter;
    const char* error;  // empty: the exchange succeeds
  } cases[] = {
      {"a drip of 2 bytes a second", drip, shortLimits, {}, {}, "the connection stalled: under 1 KiB in 1 s"},
      {"a steady reply that never ends", endless, shortLimits, {}, {}, noWholeReply},
      {"a site that thinks before answering", Later(milliseconds(1500)), shortLimits, {}, {}, ""},
      {"a site silent past the ceiling", Later(milliseconds(3000)), shortLimits, {}, {}, noWholeReply},
      {"an unanswered TLS hello", std::nullopt, shortLimits, {}, {}, "SSL connection timeout"},
      {"a cancel during a drip", drip, {}, milliseconds(300), {}, "cancelled"},
      {"a cancel during an unanswered TLS hello", std::nullopt, {}, milliseconds(300), {}, "cancelled"},
      {"a deadline during a drip", drip, {}, {}, milliseconds(300), "the time limit ran out"},
  };
  SilentListener silent;
  for (const auto& c : cases) {
    CurlTransportOptions options = Options();
    options.limits = c.limits;
    CurlTransport transport(options);
    WebClient client(transport, codec_);
    CancelRequest cancel;
    client.SetCancelRequest(&cancel);
    if (c.deadlineAfter) client.SetDeadline(std::chrono::steady_clock::now() + *c.deadlineAfter);
    std::thread canceller;
    if (c.cancelAfter) {
      canceller = std::thread([&cancel, after = *c.cancelAfter] {
        std::this_thread::sleep_for(after);
        cancel.Request();
      });
    }
    if (c.reply) plainSite_.Push(*c.reply);
    const std::string url = c.reply ? std::string("http://www.example.test/")
                                    : "https://www.example.test:" + std::to_string(silent.port()) + "/";
    const auto start = std::chrono::steady_clock::now();
    const bool ok = Fetch(client, url);
    const auto took = std::chrono::steady_clock::now() - start;
    if (canceller.joinable()) canceller.join();
    EXPECT_LT(took, std::chrono::seconds(5)) << c.what;
    if (std::string_view(c.error).empty()) {
      EXPECT_TRUE(ok) << c.what << ": " << client.lastError();
      continue;
    }
    EXPECT_FALSE(ok) << c.what;
    EXPECT_TRUE(client.lastError().starts_with(c.error)) << c.what << ": " << client.lastError();
    EXPECT_TRUE(client.lastResponse().HeaderBlocks.empty()) << c.what;
  }
}

TEST_F(CurlTransportTest, TransportsOfTheProcessShareOneCookieStore) {
  CurlTransportOptions options = Options();
  options.ownCookieStore = false;
  CurlTransport first(options);
  CurlTransport second(options);
  WebClient firstClient(first, codec_);
  WebClient secondClient(second, codec_);
  // A host name of this test's own, so that no other test's cookie in the shared store interferes.
  const std::string base = "http://shared-store.example.test:" + std::to_string(plain_.port());
  plainSite_.Push(Reply::Ok("", "Set-Cookie: shared=1; path=/\r\n"));
  ASSERT_TRUE(Fetch(firstClient, base + "/login"));
  ASSERT_TRUE(Fetch(secondClient, base + "/next"));
  EXPECT_EQ(LastPlain().Header("Cookie"), "shared=1");
  ASSERT_TRUE(Get(base + "/own"));  // the fixture's transport keeps its own store
  EXPECT_FALSE(LastPlain().HasHeader("Cookie"));
}
}  // namespace
}  // namespace wharfling
