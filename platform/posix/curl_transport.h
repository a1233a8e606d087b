#pragma once
// The HTTP client of the POSIX build, on libcurl, configured to behave like the Windows client the
// sites were written against: HTTP/1.1, no automatic redirects, no content decoding, nothing added to
// the request that the identity's browser would not send, one cookie store for the whole process.

#include <memory>
#include <string>

#include "platform/posix/proxy_choice.h"
#include "web/http_transport.h"

namespace wharfling::posix {

struct CurlTransportOptions {
  // An extra CA bundle (PEM file) trusted besides the system's; empty for none.
  std::string caFile;
  // Comma-separated HOST:PORT:ADDR:PORT entries with curl's CONNECT_TO meaning (an empty HOST or PORT
  // matches any), so that tests and diagnostics reach other servers under the real host names. Applies
  // to direct connections only; a request through a proxy leaves the routing to the proxy.
  std::string connectTo;
  // A cookie store of this transport's own instead of the process-wide one (for tests that must not
  // see other exchanges' cookies).
  bool ownCookieStore = false;
  // Where the system settings' proxy variables are read; empty for the process environment.
  EnvironmentLookup environment;

  // caFile from WHARFLING_CA_FILE and connectTo from WHARFLING_CONNECT_TO.
  static CurlTransportOptions FromEnvironment();
};

class CurlTransport final : public HttpTransport {
 public:
  // Options from the environment.
  CurlTransport();
  explicit CurlTransport(CurlTransportOptions options);
  ~CurlTransport() override;
  CurlTransport(const CurlTransport&) = delete;
  CurlTransport& operator=(const CurlTransport&) = delete;

  HttpResponse Perform(const HttpRequest& request) override;

 private:
  class CookieStore;

  CurlTransportOptions options_;
  std::shared_ptr<CookieStore> cookies_;
};

}  // namespace wharfling::posix
