#pragma once
// A fake destination site on loopback: one plain and one TLS server under the site's real host
// names (certificates from the tests' own CA), reached by the client through connect-to entries.
// Each site fake derives from it and scripts its pages in Handle; faults can be ordered per path.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/curl_transport.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_ca.h"

namespace wharfling::testing {

enum class SiteFault {
  kNone,
  kDropConnection,  // close without a reply: the exchange fails
  kServerError,     // "HTTP/1.1 500 Internal Server Error"
  kEmptyReply,      // a 200 with no body at all
  kSlowReply,       // the normal reply, after a pause
};

struct SiteRequest {
  RecordedRequest http;
  bool secure = false;
  std::string Path() const;   // the target without its query
  std::string Query() const;  // after "?", or empty
  // A cookie sent with the request, or empty.
  std::string Cookie(std::string_view name) const;
};

class FakeSite {
 public:
  // hosts: "name" (ports 80 and 443 are mapped) or "name:port" (that port is mapped to the plain server).
  explicit FakeSite(std::vector<std::string> hosts);
  virtual ~FakeSite();
  FakeSite(const FakeSite&) = delete;
  FakeSite& operator=(const FakeSite&) = delete;

  // Transport options that send the site's hosts to these servers and trust their certificates.
  posix::CurlTransportOptions TransportOptions() const;
  // The same as WHARFLING_CONNECT_TO / WHARFLING_CA_FILE values, for the command-line programs.
  std::string ConnectTo() const;
  const std::string& CaFile() const { return ca_->caBundlePath(); }

  // The next request whose "METHOD path" ends with pathSuffix gets the fault instead of its page, so
  // "POST /x" singles out the post where a page and its form share one path.
  void InjectFault(const std::string& pathSuffix, SiteFault fault);
  // Every request both servers received, in arrival order.
  std::vector<SiteRequest> Requests() const;
  // "METHOD path?query" of each request, for asserting on a sequence.
  std::vector<std::string> RequestLines() const;

 protected:
  // Starts the servers; derived classes call it at the end of their constructor.
  void Start();
  virtual Reply Handle(const SiteRequest& request) = 0;

  static Reply Redirect(std::string_view location, std::string_view extraHeaders = {});
  static Reply Page(std::string_view html, std::string_view extraHeaders = {});

 private:
  Reply Dispatch(const RecordedRequest& request, bool secure);

  std::vector<std::string> hosts_;
  std::unique_ptr<TestCa> ca_;
  std::unique_ptr<LoopbackServer> plain_;
  std::unique_ptr<LoopbackServer> tls_;
  mutable std::mutex mutex_;
  std::multimap<std::string, SiteFault> faults_;
  std::vector<SiteRequest> requests_;
};

}  // namespace wharfling::testing
