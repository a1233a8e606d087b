#pragma once
// The server's certificate and key for TLS (GnuTLS, through libmicrohttpd). Each handshake takes the
// pair loaded last, so that a renewed certificate is loaded while the server runs and connections
// already open keep theirs.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace wharfling::server {

class TlsCertificate {
 public:
  TlsCertificate();
  ~TlsCertificate();
  TlsCertificate(const TlsCertificate&) = delete;
  TlsCertificate& operator=(const TlsCertificate&) = delete;

  // Reads the certificate chain (PEM, the server's own first) and its private key (PEM). On failure
  // the pair loaded before stays in use; error says what is wrong.
  bool Load(const std::string& certFile, const std::string& keyFile, std::string& error);
  bool loaded() const;

  // Serves handshakes on connections to this local port with the loaded pair, until Unserve.
  void Serve(int port);
  void Unserve();

  struct Pair;

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<Pair> current_;
  // Pairs loaded before stay alive: sessions made with them may still refer to them.
  std::vector<std::shared_ptr<Pair>> retired_;
  int port_ = -1;

  friend struct CertificatesByPort;
};

}  // namespace wharfling::server
