#include "server/engine/tls_certificate.h"

#include <gnutls/abstract.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <fstream>
#include <map>
#include <sstream>

namespace wharfling::server {

constexpr unsigned kMaxChain = 16;
constexpr std::size_t kMaxPemBytes = 1 << 20;

struct TlsCertificate::Pair {
  std::array<gnutls_pcert_st, kMaxChain> chain{};
  unsigned count = 0;
  gnutls_privkey_t key = nullptr;

  ~Pair() {
    for (unsigned i = 0; i < count; ++i) gnutls_pcert_deinit(&chain[i]);
    if (key != nullptr) gnutls_privkey_deinit(key);
  }
};

// Which certificate serves which local port: GnuTLS's callback carries no pointer of ours.
struct CertificatesByPort {
  static CertificatesByPort& Instance() {
    static CertificatesByPort table;
    return table;
  }
  std::shared_ptr<TlsCertificate::Pair> Find(int port) {
    std::lock_guard lock(mutex);
    const auto found = byPort.find(port);
    if (found == byPort.end()) return nullptr;
    std::lock_guard pairLock(found->second->mutex_);
    return found->second->current_;
  }
  std::mutex mutex;
  std::map<int, TlsCertificate*> byPort;
};

namespace {

bool ReadPem(const std::string& path, std::string& text, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  if (in) bytes << in.rdbuf();
  text = bytes.str();
  if (!in || text.empty() || text.size() > kMaxPemBytes) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

int LocalPort(gnutls_session_t session) {
  const int fd = gnutls_transport_get_int(session);
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return -1;
  return ntohs(local.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&local)->sin6_port
                                           : reinterpret_cast<sockaddr_in*>(&local)->sin_port);
}

// The key id of a pair's certificate and of its private key agree.
bool KeyMatches(const TlsCertificate::Pair& pair) {
  gnutls_pubkey_t fromKey = nullptr;
  if (gnutls_pubkey_init(&fromKey) < 0) return false;
  std::array<unsigned char, 64> a{}, b{};
  std::size_t aSize = a.size(), bSize = b.size();
  const bool same = gnutls_pubkey_import_privkey(fromKey, pair.key, 0, 0) >= 0 &&
                    gnutls_pubkey_get_key_id(fromKey, 0, a.data(), &aSize) >= 0 &&
                    gnutls_pubkey_get_key_id(pair.chain[0].pubkey, 0, b.data(), &bSize) >= 0 &&
                    aSize == bSize &&
                    std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(aSize), b.begin());
  gnutls_pubkey_deinit(fromKey);
  return same;
}

}  // namespace

// GnuTLS asks for the server's certificate during a handshake.
extern "C" int WharflingRetrieveCertificate(gnutls_session_t session, const gnutls_datum_t*, int,
                                            const gnutls_pk_algorithm_t*, int, gnutls_pcert_st** chain,
                                            unsigned int* count, gnutls_privkey_t* key) {
  const auto pair = CertificatesByPort::Instance().Find(LocalPort(session));
  if (!pair) return -1;
  *chain = pair->chain.data();
  *count = pair->count;
  *key = pair->key;
  return 0;
}

TlsCertificate::TlsCertificate() = default;

TlsCertificate::~TlsCertificate() { Unserve(); }

bool TlsCertificate::Load(const std::string& certFile, const std::string& keyFile, std::string& error) {
  std::string certText, keyText;
  if (!ReadPem(certFile, certText, error) || !ReadPem(keyFile, keyText, error)) return false;
  auto pair = std::make_shared<Pair>();
  gnutls_datum_t certData{reinterpret_cast<unsigned char*>(certText.data()),
                          static_cast<unsigned>(certText.size())};
  unsigned count = kMaxChain;
  if (gnutls_pcert_list_import_x509_raw(pair->chain.data(), &count, &certData, GNUTLS_X509_FMT_PEM, 0) < 0 ||
      count == 0) {
    error = certFile + " holds no PEM certificate (or more than " + std::to_string(kMaxChain) + ")";
    return false;
  }
  pair->count = count;
  gnutls_datum_t keyData{reinterpret_cast<unsigned char*>(keyText.data()),
                         static_cast<unsigned>(keyText.size())};
  if (gnutls_privkey_init(&pair->key) < 0 ||
      gnutls_privkey_import_x509_raw(pair->key, &keyData, GNUTLS_X509_FMT_PEM, nullptr, 0) < 0) {
    error = keyFile + " holds no unencrypted PEM private key";
    return false;
  }
  if (!KeyMatches(*pair)) {
    error = keyFile + " is not the key of the certificate in " + certFile;
    return false;
  }
  std::lock_guard lock(mutex_);
  if (current_) retired_.push_back(std::move(current_));
  current_ = std::move(pair);
  return true;
}

bool TlsCertificate::loaded() const {
  std::lock_guard lock(mutex_);
  return current_ != nullptr;
}

void TlsCertificate::Serve(int port) {
  auto& served = CertificatesByPort::Instance();
  std::lock_guard lock(served.mutex);
  served.byPort[port] = this;
  port_ = port;
}

void TlsCertificate::Unserve() {
  auto& served = CertificatesByPort::Instance();
  std::lock_guard lock(served.mutex);
  if (port_ >= 0) served.byPort.erase(port_);
  port_ = -1;
}

}  // namespace wharfling::server
