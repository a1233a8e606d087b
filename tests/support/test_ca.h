#pragma once
// A certificate authority of the tests' own, made fresh with OpenSSL: a CA certificate and one server
// certificate (with its key) for a list of DNS names and 127.0.0.1. The CA bundle is written to a file
// that can be handed to the client as WHARFLING_CA_FILE.

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace wharfling::testing {

class TestCa {
 public:
  // Throws std::runtime_error when OpenSSL fails.
  explicit TestCa(const std::vector<std::string>& dnsNames);

  const std::string& caCertPem() const { return caCertPem_; }
  const std::string& serverCertPem() const { return serverCertPem_; }
  const std::string& serverKeyPem() const { return serverKeyPem_; }

  // A PEM file holding the CA certificate, kept as long as this object.
  const std::string& caBundlePath() const { return caBundlePath_; }
  // Writes the CA certificate as a PEM bundle to path.
  void WriteCaBundle(const std::string& path) const;

 private:
  std::string caCertPem_;
  std::string serverCertPem_;
  std::string serverKeyPem_;
  TempDir dir_;
  std::string caBundlePath_;
};

}  // namespace wharfling::testing
