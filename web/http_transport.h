#pragma once
// Port: the platform's HTTP client. One call is one complete request, from a fresh connection to the
// last byte of the response. The client keeps one cookie store for every request of the process and
// must add nothing a browser of the request's identity would not send.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "session/cancel_request.h"
#include "web/request.h"

namespace wharfling {

// The most one exchange keeps of a reply (header block and body together). Pages are kilobytes; a
// peer that sends more is treated as a failed send, so it cannot exhaust memory.
inline constexpr std::size_t kMaxReplyBytes = 32u << 20;

struct HttpRequest {
  // Whether the secure channel is used; the exchange decides it before the transport sees it.
  bool secure = false;
  std::string host;
  std::uint16_t port = 0;
  Method method = Method::kGet;
  // Path and query exactly as the server should read them (percent-escapes already decoded). The
  // client escapes only what cannot stand in a request line (see EscapeRequestTarget).
  std::string target;
  std::string_view userAgent;
  // "Name: value" lines without CRLF, in sending order, no two with the same name.
  std::vector<std::string> headerLines;
  // Sent as is, with its byte length, for POST; empty for GET. Not owned: the caller keeps it alive.
  std::string_view body;
  AccessMode access = AccessMode::kDirect;
  // When set, the transport looks at it while it waits and bytes move (at least once a second) and
  // fails the request once it is requested. Not owned.
  const CancelRequest* cancel = nullptr;
  // When set, the request fails if it has not ended by then.
  std::optional<std::chrono::steady_clock::time_point> deadline;
  // Called as the body goes out with the bytes the peer has taken so far and the body's size.
  std::function<void(std::uint64_t sent, std::uint64_t total)> onBodyProgress;
};

struct HttpResponse {
  // True once a response came back; the body may then still be cut short.
  bool sent = false;
  // The final response's status line and header lines, each ending in CRLF; no interim response.
  std::string headerBlock;
  // The body bytes as received: no content decoding.
  std::string body;
  // Why the request failed or went out incomplete, in the transport's own words (for reports); empty
  // when it was sent whole.
  std::string error;
  // A response came back although the request's body did not go out whole (the peer answered early
  // and hung up, say): the response is kept, and error says what broke.
  bool requestIncomplete = false;
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  virtual HttpResponse Perform(const HttpRequest& request) = 0;
};

}  // namespace wharfling
