#pragma once
// The HTTP client of the POSIX build, on libcurl, configured so that a site sees the request the
// driver built: HTTP/1.1, no automatic redirects, no content decoding, nothing added to the request
// that the identity's browser would not send, one cookie store for the whole process.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/posix/proxy_choice.h"
#include "web/http_transport.h"

namespace wharfling::posix {

// What ends an exchange that no longer gets anywhere, so that every run ends whatever the peer does.
struct TransferLimits {
  // Name lookup, TCP connect and TLS handshake together.
  std::chrono::milliseconds connect{20'000};
  // The stall rule: while the request goes out, and once the reply has begun, at least stallBytes
  // must move (as the peer takes them, or as they arrive) in every stallWindow.
  std::uint64_t stallBytes = 32 * 1024;
  std::chrono::milliseconds stallWindow{30'000};
  // Once the peer has the whole request: the time for its whole reply, the wait for it included.
  std::chrono::milliseconds replyCeiling{120'000};
};

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
  TransferLimits limits;

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
