#pragma once
// An HTTP/1.1 server on 127.0.0.1 for tests, plain or TLS, on threads of its own. It records every
// request exactly as it arrived and answers with whatever bytes the test's handler scripts, so tests
// can assert on the raw bytes a client sends and feed it any response, faulty ones included.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace wharfling::testing {

struct RecordedRequest {
  std::string raw;  // the request line, header lines, blank line and body, byte for byte
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;  // in arrival order, values trimmed
  std::string body;                                          // Content-Length bytes

  // The value of the first header of that name (ignoring case), or empty.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
  // How many headers of that name arrived.
  int HeaderCount(std::string_view name) const;
};

struct Reply {
  enum class Fault {
    kNone,
    kCloseWithoutReply,  // close the connection without writing anything
    kDelayBeforeReply,   // wait for delay, then write raw
    kEndlessBody,        // write raw, then piece over and over until the client goes away
    kDrip,               // write raw, then piece once every delay until the client goes away
  };

  std::string raw;    // the response bytes, written as they are
  std::string piece;  // what an endless body repeats
  Fault fault = Fault::kNone;
  std::chrono::milliseconds delay{0};
  // Close after writing (also done when the request or the reply says "Connection: close").
  bool closeAfterReply = false;

  // "HTTP/1.1 200 OK" with the given extra header lines (each ending in CRLF), a Content-Length and
  // the body.
  static Reply Ok(std::string_view body, std::string_view extraHeaders = {});
  // Any status line, header lines (each ending in CRLF) and body, with a Content-Length added.
  static Reply Make(std::string_view statusLine, std::string_view headers, std::string_view body);
  static Reply Raw(std::string raw, bool closeAfterReply = false);
  static Reply CloseWithoutReply();
  // A header block without a length, then `piece` written over and over.
  static Reply Endless(std::string_view headers, std::string piece);
  // A header block, then piece once every interval.
  static Reply Drip(std::string_view headers, std::string piece, std::chrono::milliseconds interval);
};

struct TlsIdentity {
  std::string certPem;
  std::string keyPem;
};

class LoopbackServer {
 public:
  using Handler = std::function<Reply(const RecordedRequest&)>;

  // A plain HTTP server. The handler may be called from several connection threads at once.
  explicit LoopbackServer(Handler handler);
  // An HTTPS server with the given certificate and key.
  LoopbackServer(Handler handler, const TlsIdentity& tls);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Consulted once a request's head is in: a reply it returns is written after at most
  // kEarlyBodyBytes of the body have been read, and the connection is then reset with the rest
  // unread, as by a peer that answers an upload early and hangs up.
  using EarlyHandler = std::function<std::optional<Reply>(const RecordedRequest& head)>;
  static constexpr std::size_t kEarlyBodyBytes = 64 * 1024;
  void SetEarlyHandler(EarlyHandler handler);

  std::uint16_t port() const { return port_; }
  // A copy of the requests recorded so far, in arrival order.
  std::vector<RecordedRequest> requests() const;
  void ClearRequests();

 private:
  class Connection;
  struct TlsContext;

  void Start();
  void AcceptLoop();
  void Serve(int fd);
  void Record(const RecordedRequest& request);
  // Answers early and resets; the connection ends.
  void AnswerEarly(Connection& connection, int fd, std::string& buffer, std::size_t headEnd,
                   RecordedRequest& request, const Reply& reply);
  // Sleeps unless the server stops meanwhile.
  void Pause(std::chrono::milliseconds delay) const;

  Handler handler_;
  EarlyHandler earlyHandler_;
  std::unique_ptr<TlsContext> tls_;
  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};

  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;
  std::vector<int> openFds_;
  std::vector<std::thread> workers_;
  std::thread acceptThread_;
};

}  // namespace wharfling::testing
