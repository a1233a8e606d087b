// parvault-server over TLS: https only, a Secure session cookie, and a renewed certificate loaded
// while connections stay open.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/http_test_client.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/test_ca.h"

namespace wharfling::server {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using wharfling::testing::HttpTestClient;
using wharfling::testing::ParvaultTestServer;
using wharfling::testing::TestCa;

class TlsServerTest : public ::testing::Test {
 protected:
  // Puts the CA's server certificate and key where the server reads them.
  void Install(const TestCa& ca) {
    files_.WriteFile("cert.pem", ca.serverCertPem());
    files_.WriteFile("key.pem", ca.serverKeyPem());
  }
  std::string File(const char* name) const { return (files_.path() / name).string(); }
  std::unique_ptr<ParvaultTestServer> StartServer() {
    return std::make_unique<ParvaultTestServer>(std::vector<Account>{}, [this](ParvaultServerOptions& o) {
      o.tlsCertFile = File("cert.pem");
      o.tlsKeyFile = File("key.pem");
    });
  }

  testing::TempDir files_;
  TestCa first_{{"localhost"}};
  TestCa second_{{"localhost"}};
};

TEST_F(TlsServerTest, ServesHttpsOnlyAndItsCookieIsSecure) {
  Install(first_);
  auto server = StartServer();
  HttpTestClient client(server->port(), first_.caBundlePath());
  const auto login = client.Post("/ParvaultAsp2/logincheck2.asp", "username=alice&password=secret&x=52&y=15",
                                 "application/x-www-form-urlencoded");
  ASSERT_TRUE(login) << client.error();
  EXPECT_EQ(login->Header("Location"), "menu.asp");
  const std::string cookie = login->Header("Set-Cookie");
  EXPECT_THAT(cookie, HasSubstr("; Secure"));
  const auto upload = client.Post(
      "/ParvaultAsp2/InsertFile.asp", {{"Cookie", cookie.substr(0, cookie.find(';'))}},
      testing::UploaderBody("C:\\p\\tls.jpg", "over tls"), std::string(testing::kUploaderContentType));
  ASSERT_TRUE(upload);
  EXPECT_EQ(upload->status, 200);
  EXPECT_EQ(testing::FileContents(server->folderOf("alice") / "tls.jpg"), "over tls");
  // A request in clear gets no page.
  const auto plain =
      testing::RawExchange(server->port(), "GET / HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
  EXPECT_THAT(plain.headerBlock, Not(HasSubstr("200 OK")));
  EXPECT_EQ(plain.body.find("logincheck2.asp"), std::string::npos);
}

TEST_F(TlsServerTest, AReloadServesTheRenewedCertificateAndKeepsOpenConnections) {
  Install(first_);
  auto server = StartServer();
  HttpTestClient open(server->port(), first_.caBundlePath());
  ASSERT_TRUE(open.Get("/")) << open.error();
  Install(second_);
  std::string error;
  ASSERT_TRUE(server->server().ReloadCertificate(error)) << error;
  // Kept alive from before: were it dropped, the client would reconnect and trust no certificate.
  EXPECT_TRUE(open.Get("/")) << open.error();
  HttpTestClient renewed(server->port(), second_.caBundlePath());
  EXPECT_TRUE(renewed.Get("/")) << renewed.error();
  HttpTestClient stale(server->port(), first_.caBundlePath());
  EXPECT_FALSE(stale.Get("/"));
}

TEST_F(TlsServerTest, BadFilesAreRefusedAndAFailedReloadKeepsThePairInUse) {
  files_.WriteFile("cert.pem", first_.serverCertPem());
  files_.WriteFile("key.pem", second_.serverKeyPem());
  ParvaultServerOptions options;
  options.port = 0;
  options.storage = files_.path() / "storage";
  options.accounts.push_back(MakeAccount("alice", "secret"));
  options.tlsCertFile = File("cert.pem");
  options.tlsKeyFile = File("key.pem");
  std::string error;
  EXPECT_FALSE(ParvaultServer(options).Start(error));
  EXPECT_THAT(error, HasSubstr("is not the key of the certificate"));

  Install(first_);
  auto server = StartServer();
  files_.WriteFile("cert.pem", "not a certificate");
  EXPECT_FALSE(server->server().ReloadCertificate(error));
  EXPECT_THAT(error, HasSubstr("no PEM certificate"));
  HttpTestClient client(server->port(), first_.caBundlePath());
  EXPECT_TRUE(client.Get("/")) << client.error();
}

}  // namespace
}  // namespace wharfling::server
