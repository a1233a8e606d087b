// What the WinINet transport puts on the wire under Wine and what it makes of the replies, against
// the loopback server that records each request's exact bytes.

#include "tests/support/loopback_server.h"
#include "tests/wine/wine_test.h"

namespace wharfling::testing {
namespace {

constexpr std::string_view kMsie6Agent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)";
constexpr std::string_view kMsie6Lines =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, */*\r\n"
    "Accept-Language: ja\r\n"
    "Proxy-Connection: Keep-Alive\r\n";

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

class WinInetTest : public WineTest {
 protected:
  std::string Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(server_.port()) + target;
  }
  std::string Host() const { return "Host: 127.0.0.1:" + std::to_string(server_.port()) + "\r\n"; }

  std::vector<Reply> replies_;
  std::size_t next_ = 0;
  LoopbackServer server_{
      [this](const RecordedRequest&) { return next_ < replies_.size() ? replies_[next_++] : Reply::Ok(""); }};
};

// Wine's WinINet writes the header lines it is given first, in order, then its own Host,
// Content-Length and User-Agent lines, then the cookies of its store; native WinINet orders its own
// lines differently, so the bytes below are those of Wine's client.
TEST_F(WinInetTest, RequestsGoOutWithTheProfileLinesAndTheProcessCookies) {
  replies_ = {
      Reply::Make("HTTP/1.1 302 Found", "Location: /home\r\nSet-Cookie: session=s1; path=/\r\n", "moved"),
      Reply::Ok("<html>home</html>")};
  const auto run =
      wine().Probe({"exchange", "POST", Url("/login"), "u=alice&p=secret", "GET", Url("/a%20b?q=%3F")});

  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].raw, "POST /login HTTP/1.1\r\n" + std::string(kMsie6Lines) +
                                 "Content-Type: application/x-www-form-urlencoded\r\n" + Host() +
                                 "Content-Length: 16\r\n"
                                 "User-Agent: " +
                                 std::string(kMsie6Agent) + "\r\n\r\nu=alice&p=secret");
  EXPECT_EQ(requests[1].raw, "GET /a%20b?q=? HTTP/1.1\r\n" + std::string(kMsie6Lines) + Host() +
                                 "User-Agent: " + std::string(kMsie6Agent) +
                                 "\r\n"
                                 "Cookie: session=s1\r\n\r\n")
      << "percent-escapes arrive decoded; a space is escaped again for the request line";

  // The redirect is not followed; the whole header block and body are kept.
  const auto oks = run.output.All("ok");
  ASSERT_EQ(oks, (std::vector<std::string>{"1", "1"}));
  EXPECT_EQ(
      FromHex(run.output.All("headers")[0]),
      "HTTP/1.1 302 Found\r\nLocation: /home\r\nSet-Cookie: session=s1; path=/\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(FromHex(run.output.All("body")[0]), "moved");
  EXPECT_EQ(FromHex(run.output.All("body")[1]), "<html>home</html>");
}

// A connection dropped without a reply is sent again by WinINet itself (as Windows' client does), so
// the failure case here is a port where nothing listens.
TEST_F(WinInetTest, RepliesOfEveryStatusAreExchangesAndARefusedConnectionIsNot) {
  replies_ = {Reply::Make("HTTP/1.1 500 Internal Server Error", "", "broken"),
              Reply::Ok(std::string(25000, 'x'))};
  const auto run =
      wine().Probe({"exchange", "GET", Url("/a"), "GET", "http://127.0.0.1:1/", "GET", Url("/c")});
  ASSERT_EQ(run.output.All("ok"), (std::vector<std::string>{"1", "0", "1"}));
  EXPECT_EQ(FromHex(run.output.All("body")[0]), "broken");
  EXPECT_EQ(run.output.All("headers")[1], "") << "a failed exchange leaves nothing";
  const std::string large = FromHex(run.output.All("body")[2]);
  EXPECT_EQ(large.size(), 25000u) << "read in several chunks";
  EXPECT_TRUE(large == std::string(25000, 'x'));
}

TEST_F(WinInetTest, AReplyPastTheCapIsAFailedSend) {
  replies_ = {Reply::Ok(std::string((32u << 20) + 1, 'x')), Reply::Ok("small")};
  const auto run = wine().Probe({"exchange", "GET", Url("/huge"), "GET", Url("/small")});
  EXPECT_EQ(run.output.All("ok"), (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(run.output.All("body"), (std::vector<std::string>{"", "736d616c6c"}));
}

}  // namespace
}  // namespace wharfling::testing
