#include "tests/support/test_ca.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <memory>
#include <stdexcept>

namespace wharfling::testing {
namespace {

struct KeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertDeleter {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct BioDeleter {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Cert = std::unique_ptr<X509, CertDeleter>;
using Bio = std::unique_ptr<BIO, BioDeleter>;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test CA: ") + what);
}

Key NewKey() {
  Key key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "key generation");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  Check(extension != nullptr, "extension");
  const bool added = X509_add_ext(cert, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  Check(added, "adding extension");
}

Cert NewCert(EVP_PKEY* key, const std::string& commonName, long serial) {
  Cert cert(X509_new());
  Check(cert != nullptr, "certificate");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 60L * 60 * 24 * 30);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
  return cert;
}

std::string CertPem(X509* cert) {
  Bio bio(BIO_new(BIO_s_mem()));
  Check(PEM_write_bio_X509(bio.get(), cert) == 1, "writing certificate");
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

std::string KeyPem(EVP_PKEY* key) {
  Bio bio(BIO_new(BIO_s_mem()));
  Check(PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1, "writing key");
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace

TestCa::TestCa(const std::vector<std::string>& dnsNames) {
  const Key caKey = NewKey();
  const Cert ca = NewCert(caKey.get(), "Wharfling Test CA", 1);
  X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get()));
  AddExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
  AddExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
  Check(X509_sign(ca.get(), caKey.get(), EVP_sha256()) > 0, "signing CA");

  const Key serverKey = NewKey();
  const Cert server = NewCert(serverKey.get(), dnsNames.empty() ? "localhost" : dnsNames.front(), 2);
  X509_set_issuer_name(server.get(), X509_get_subject_name(ca.get()));
  std::string altNames;
  for (const auto& name : dnsNames) altNames += "DNS:" + name + ",";
  altNames += "IP:127.0.0.1";
  AddExtension(server.get(), ca.get(), NID_subject_alt_name, altNames);
  AddExtension(server.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(server.get(), ca.get(), NID_key_usage, "critical,digitalSignature,keyEncipherment");
  AddExtension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth");
  AddExtension(server.get(), ca.get(), NID_authority_key_identifier, "keyid:always");
  Check(X509_sign(server.get(), caKey.get(), EVP_sha256()) > 0, "signing server certificate");

  caCertPem_ = CertPem(ca.get());
  serverCertPem_ = CertPem(server.get());
  serverKeyPem_ = KeyPem(serverKey.get());
  caBundlePath_ = (dir_.path() / "ca-bundle.pem").string();
  WriteCaBundle(caBundlePath_);
}

void TestCa::WriteCaBundle(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << caCertPem_;
  if (!out) throw std::runtime_error("test CA: cannot write " + path);
}

}  // namespace wharfling::testing
