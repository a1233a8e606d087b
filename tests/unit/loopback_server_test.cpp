// The test server itself: several requests on one connection, Connection: close, faults.

#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace wharfling::testing {
namespace {

// A bare client socket, so the test controls exactly what goes over one connection.
class RawClient {
 public:
  explicit RawClient(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawClient() { ::close(fd_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return connected_; }
  void Send(std::string_view bytes) {
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  }
  // Reads until count bytes arrived or the server closed.
  std::string Receive(std::size_t count) {
    std::string out;
    char buffer[4096];
    while (out.size() < count) {
      const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
  }
  // True when the server closed the connection: a read returns end of stream, or a reset when the
  // server closed with bytes of ours still unread.
  bool Closed() {
    char byte = 0;
    return ::recv(fd_, &byte, 1, 0) <= 0;
  }

 private:
  int fd_;
  bool connected_ = false;
};

TEST(LoopbackServer, ServesSeveralRequestsOnOneConnection) {
  LoopbackServer server([](const RecordedRequest& request) { return Reply::Ok(request.target); });
  RawClient client(server.port());
  ASSERT_TRUE(client.connected());
  client.Send(
      "GET /one HTTP/1.1\r\nHost: a\r\n\r\nPOST /two HTTP/1.1\r\nHost: a\r\nContent-Length: 5\r\n\r\nhello");
  const std::string first = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n/one";
  const std::string second = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n/two";
  EXPECT_EQ(client.Receive(first.size() + second.size()), first + second);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].raw, "GET /one HTTP/1.1\r\nHost: a\r\n\r\n");
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(requests[1].body, "hello");
  EXPECT_EQ(requests[1].Header("content-length"), "5");
  server.ClearRequests();
  EXPECT_TRUE(server.requests().empty());
}

TEST(LoopbackServer, ClosesWhenTheRequestAsksForIt) {
  LoopbackServer server([](const RecordedRequest&) { return Reply::Ok("x"); });
  RawClient client(server.port());
  client.Send("GET / HTTP/1.1\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(client.Receive(1000), "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx");
  EXPECT_TRUE(client.Closed());
}

TEST(LoopbackServer, CloseWithoutReplyWritesNothing) {
  LoopbackServer server([](const RecordedRequest&) { return Reply::CloseWithoutReply(); });
  RawClient client(server.port());
  client.Send("GET / HTTP/1.1\r\n\r\n");
  EXPECT_EQ(client.Receive(1), "");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(LoopbackServer, StopsWhileAConnectionIsIdle) {
  auto server = std::make_unique<LoopbackServer>([](const RecordedRequest&) { return Reply::Ok(""); });
  RawClient client(server->port());
  client.Send("GET / HTTP/1.1\r\n\r\n");
  ASSERT_FALSE(client.Receive(38).empty());  // the connection is being served
  client.Send("GET / HTTP/1.1\r\n");         // half a request: the server thread waits in a read
  server.reset();                            // must not hang
  EXPECT_TRUE(client.Closed());
}

}  // namespace
}  // namespace wharfling::testing
