#pragma once
// A fake destination site on loopback: one plain and one TLS server under the site's real host
// names (certificates from the tests' own CA), reached by the client through connect-to entries.
// Each site fake derives from it and scripts its pages in Handle; faults can be ordered per path.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/curl_transport.h"
#include "tests/support/loopback_server.h"
#include "tests/support/site_walk.h"
#include "tests/support/test_ca.h"

namespace wharfling::testing {

enum class SiteFault {
  kNone,
  kDropConnection,  // close without a reply: the exchange fails
  kServerError,     // "HTTP/1.1 500 Internal Server Error"
  kEmptyReply,      // a 200 with no body at all
  kSlowReply,       // the normal reply, after a pause
  kStuckReply,      // the normal reply, after a minute
  // Once 64 KiB of the body are in, the site takes the request for the previous one of that method
  // and path (its state changes as then) and answers as it did then; then a reset with the rest
  // unread: a success page for a photo that never arrived whole.
  kAnswerEarlyAndReset,
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
  // The plain server's port on 127.0.0.1, for clients that cannot be routed by host name.
  std::uint16_t PlainPort() const { return plain_->port(); }

  // The next request whose "METHOD path" ends with pathSuffix gets the fault instead of its page
  // ("/upload" or "POST /upload" where a GET shares the path).
  void InjectFault(const std::string& pathSuffix, SiteFault fault);
  // Every request both servers received, in arrival order.
  std::vector<SiteRequest> Requests() const;
  // "METHOD path?query" of each request, for asserting on a sequence.
  std::vector<std::string> RequestLines() const;
  // The run the site's pages lead to, for comparing with RequestLines.
  virtual SiteWalk Walk() const = 0;

 protected:
  // Starts the servers; derived classes call it at the end of their constructor.
  void Start();
  virtual Reply Handle(const SiteRequest& request) = 0;

  static Reply Redirect(std::string_view location, std::string_view extraHeaders = {});
  static Reply Page(std::string_view html, std::string_view extraHeaders = {});

 private:
  Reply Dispatch(const RecordedRequest& request, bool secure);
  std::optional<Reply> AnswerEarly(const RecordedRequest& head, bool secure);
  // The fault ordered for "METHOD path", taken off the list; kNone when there is none.
  SiteFault TakeFault(const std::string& line, bool early);

  std::vector<std::string> hosts_;
  std::unique_ptr<TestCa> ca_;
  std::unique_ptr<LoopbackServer> plain_;
  std::unique_ptr<LoopbackServer> tls_;
  mutable std::mutex mutex_;
  std::multimap<std::string, SiteFault> faults_;
  std::vector<SiteRequest> requests_;
  // The latest request and reply by "METHOD path".
  std::map<std::string, std::pair<SiteRequest, Reply>> lastExchanges_;
};

}  // namespace wharfling::testing
