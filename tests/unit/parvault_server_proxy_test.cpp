// parvault-server behind a reverse proxy: the client it names in X-Forwarded-For, and its room.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <string>
#include <vector>

#include "server/engine/address_slots.h"
#include "server/engine/forwarded_for.h"
#include "tests/support/parvault_test_server.h"

namespace wharfling::server {
namespace {

TEST(ForwardedForTest, OnlyTheProxysOwnLastHopCounts) {
  struct Case {
    Fields headers;
    const char* client;  // "": the request stays the proxy's
  };
  const std::vector<Case> cases = {
      {{{"X-Forwarded-For", "203.0.113.9"}}, "203.0.113.9"},
      {{{"x-forwarded-for", "10.9.9.9, 198.51.100.4 "}}, "198.51.100.4"},  // the client's own claim first
      {{{"X-Forwarded-For", "10.9.9.9"}, {"X-Forwarded-For", "192.0.2.1,2001:DB8::1"}}, "2001:db8::1"},
      {{{"X-Forwarded-For", "::ffff:192.0.2.7"}}, "192.0.2.7"},
      {{{"X-Forwarded-For", "192.0.2.1, unknown"}}, ""},
      {{{"X-Forwarded-For", "192.0.2.1:5000"}}, ""},
      {{{"X-Forwarded-For", ""}}, ""},
      {{{"Forwarded", "for=192.0.2.1"}}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LastForwardedHop(c.headers), c.client) << c.headers.back().second;
  }
}

std::string SlotKeyOf(const char* text, const std::string& trustedProxy) {
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  ::inet_pton(AF_INET, text, &v4.sin_addr);
  return SlotKey(reinterpret_cast<sockaddr*>(&v4), sizeof v4, trustedProxy);
}

TEST(ForwardedForTest, TheProxyIsHeldOnlyToTheTotal) {
  ConnectionLimits limits;
  limits.maxConnections = 6;
  limits.maxConnectionsPerAddress = 2;
  limits.slotsKeptForNewcomers = 2;
  limits.newcomerConnections = 1;
  AddressSlots slots(limits);
  const std::string proxy = SlotKeyOf("10.0.0.5", "10.0.0.5");
  EXPECT_NE(SlotKeyOf("10.0.0.6", "10.0.0.5"), proxy);
  EXPECT_NE(SlotKeyOf("10.0.0.5", ""), proxy);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(slots.HasRoom(proxy)) << i;
    slots.Enter(proxy);
  }
  const std::string other = SlotKeyOf("10.0.0.6", "10.0.0.5");
  EXPECT_TRUE(slots.HasRoom(other));
  slots.Enter(other);
  EXPECT_FALSE(slots.HasRoom(proxy)) << "the total still bounds the proxy";
}

TEST(ForwardedForTest, TheLogAndTheBrakeSeeTheForwardedClient) {
  testing::ParvaultTestServer server(
      {}, [](ParvaultServerOptions& options) { options.limits.trustedProxy = "127.0.0.1"; });
  const std::string wrong = "user=alice&password=wrong";
  const auto post = [&](const char* forwardedFor) {
    return testing::RawExchange(
        server.port(), testing::RawPost("/ParvaultAsp2/logincheck2.asp",
                                        std::string("Content-Type: application/x-www-form-urlencoded\r\n") +
                                            "X-Forwarded-For: " + forwardedFor + "\r\n",
                                        wrong));
  };
  post("198.51.100.7");
  post("not-an-address");
  ASSERT_TRUE(server.WaitForLog("logincheck2.asp", 2));
  std::vector<std::string> clients;
  for (const auto& line : server.logLines()) {
    if (line.find("logincheck2.asp") != std::string::npos)
      clients.push_back(line.substr(line.find(' ') + 1, 10));
  }
  EXPECT_EQ(clients, (std::vector<std::string>{"198.51.100", "127.0.0.1:"}));
}

}  // namespace
}  // namespace wharfling::server
