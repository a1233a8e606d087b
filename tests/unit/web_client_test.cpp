#include "web/web_client.h"

#include <gtest/gtest.h>

#include "tests/support/recording_transport.h"

namespace wharfling {
namespace {

using testing::RecordingTransport;
using Lines = std::vector<std::string>;

constexpr std::string_view kMsie6Accept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, */*";

class WebClientTest : public ::testing::Test {
 protected:
  bool Exchange(std::string_view url, Method method, std::uint32_t flags = kFlagNoAutoRedirect,
                std::string_view body = "", std::optional<std::string_view> extra = std::nullopt,
                const RequestProfile& profile = Msie6Profile()) {
    return client_.HttpExchange(profile, url, method, flags, body, extra, AccessMode::kDirect);
  }

  RecordingTransport transport_;
  IdentityTextCodec codec_;
  WebClient client_{transport_, codec_};
};

TEST_F(WebClientTest, GetSendsProfileLinesAndNoContentType) {
  ASSERT_TRUE(Exchange("http://www.example.test/index.html", Method::kGet, kFlagNoAutoRedirect, "ignored"));
  const auto& call = transport_.calls().back();
  EXPECT_EQ(call.request.method, Method::kGet);
  EXPECT_EQ(call.body, "");
  EXPECT_EQ(call.request.headerLines,
            (Lines{std::string(kMsie6Accept), "Accept-Language: ja", "Proxy-Connection: Keep-Alive"}));
  EXPECT_EQ(call.userAgent, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)");
}

TEST_F(WebClientTest, PostAlwaysSendsTheFormTypeAndTheExtraHeaderLast) {
  ASSERT_TRUE(Exchange("http://www.example.test/login", Method::kPost, kFlagNoAutoRedirect, "",
                       "Referer: http://r/"));
  const auto& empty = transport_.calls().back();
  EXPECT_EQ(empty.body, "");
  EXPECT_EQ(empty.request.headerLines,
            (Lines{std::string(kMsie6Accept), "Accept-Language: ja", "Proxy-Connection: Keep-Alive",
                   "Content-Type: application/x-www-form-urlencoded", "Referer: http://r/"}));

  ASSERT_TRUE(Exchange("http://www.example.test/login", Method::kPost, kFlagNoAutoRedirect, "id=a&pw=b",
                       "Accept-Language: en", Msie7Profile()));
  const auto& replaced = transport_.calls().back();
  EXPECT_EQ(replaced.body, "id=a&pw=b");
  EXPECT_EQ(replaced.request.headerLines.back(), "Accept-Language: en");
  EXPECT_EQ(replaced.request.headerLines.size(), 5u);
}

TEST_F(WebClientTest, SecureFlagOrHttpsSchemeChoosesTheChannel) {
  const struct {
    const char* url;
    std::uint32_t flags;
    bool secure;
    std::uint16_t port;
  } cases[] = {
      {"https://www.example.test/", kFlagNoAutoRedirect, true, 443},
      {"HTTPS://www.example.test:8080/", kFlagNoAutoRedirect, true, 8080},
      {"http://www.example.test/", kFlagNoAutoRedirect, false, 80},
      {"http://www.example.test/", kFlagNoAutoRedirect | kFlagSecure, true, 80},
      {"https://www.example.test:8443/", 0x00A00000, true, 8443},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Exchange(c.url, Method::kGet, c.flags));
    EXPECT_EQ(transport_.calls().back().request.secure, c.secure) << c.url;
    EXPECT_EQ(transport_.calls().back().request.port, c.port) << c.url;
  }
}

TEST_F(WebClientTest, TargetIsTheDecodedPathAndQuery) {
  ASSERT_TRUE(Exchange("http://www.example.test/a%2Fb/c.cgi?u=%2Fx%3Fy%3D1&s= true", Method::kGet));
  EXPECT_EQ(transport_.calls().back().request.target, "/a/b/c.cgi?u=/x?y=1&s= true");
  EXPECT_EQ(transport_.calls().back().request.host, "www.example.test");
}

TEST_F(WebClientTest, UnsplittableUrlFailsWithoutARequestAndEmptiesTheResponse) {
  transport_.Script({true, "HTTP/1.1 200 OK\r\n", "page", ""});
  ASSERT_TRUE(Exchange("http://www.example.test/", Method::kGet));
  EXPECT_EQ(client_.PageText(), "page");
  EXPECT_FALSE(Exchange("http://www.example.test/" + std::string(300, 'p'), Method::kGet));
  EXPECT_FALSE(Exchange("http://www.example.test/?" + std::string(1100, 'q'), Method::kGet));
  EXPECT_EQ(transport_.calls().size(), 1u);
  EXPECT_TRUE(client_.lastResponse().BodyChunks.empty());
  EXPECT_TRUE(client_.lastResponse().HeaderBlocks.empty());
}

TEST_F(WebClientTest, KeepsWhyTheLatestRequestFailed) {
  HttpResponse refused;
  refused.error = "Failed to connect to www.example.test port 80: Connection refused";
  transport_.Script(refused);
  EXPECT_FALSE(Exchange("http://www.example.test/", Method::kGet));
  EXPECT_EQ(client_.lastError(), refused.error);
  EXPECT_FALSE(Exchange("ftp://www.example.test/", Method::kGet));
  EXPECT_NE(client_.lastError().find("cannot be split"), std::string::npos) << client_.lastError();
  EXPECT_FALSE(client_.SendUpload(UploadSender::kParvault, "http://www.example.test/up", kFlagNoAutoRedirect,
                                  std::nullopt, "/no/such/photo.jpg"));
  EXPECT_EQ(client_.lastError(), "the photo cannot be read");
  ASSERT_TRUE(Exchange("http://www.example.test/", Method::kGet));
  EXPECT_EQ(client_.lastError(), "");
}

TEST_F(WebClientTest, FailedSendEmptiesTheResponse) {
  transport_.Script({true, "HTTP/1.1 200 OK\r\n", "page", ""});
  transport_.Script({false, "HTTP/1.1 200 OK\r\n", "ignored", ""});
  ASSERT_TRUE(Exchange("http://www.example.test/", Method::kGet));
  EXPECT_FALSE(Exchange("http://www.example.test/", Method::kGet));
  EXPECT_EQ(client_.PageText(), "");
  EXPECT_EQ(client_.HeaderText(), "");
}

TEST_F(WebClientTest, ResponseIsKeptAsReadsAndOneHeaderBlock) {
  std::string body(10240, 'a');
  body += std::string("bb\0cc", 5);
  const std::string headers = std::string("HTTP/1.1 200 OK\r\n") + std::string(20000, 'h') + "\r\n";
  transport_.Script({true, headers, body, ""});
  ASSERT_TRUE(Exchange("http://www.example.test/", Method::kGet));
  EXPECT_EQ(client_.lastResponse().BodyChunks, (ChunkList{std::string(10240, 'a'), "bb"}));
  EXPECT_EQ(client_.lastResponse().HeaderBlocks, (ChunkList{headers}));
  EXPECT_EQ(client_.HeaderText(), headers);
  EXPECT_EQ(client_.PageText(), std::string(10240, 'a') + "bb");
}

}  // namespace
}  // namespace wharfling
