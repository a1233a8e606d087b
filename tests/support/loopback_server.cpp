#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "text/text.h"

namespace wharfling::testing {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Parses the request line and header lines of head (without the blank line).
RecordedRequest ParseHead(std::string_view head) {
  RecordedRequest request;
  std::size_t lineEnd = head.find("\r\n");
  const std::string_view requestLine = head.substr(0, lineEnd);
  const std::size_t firstBlank = requestLine.find(' ');
  const std::size_t lastBlank = requestLine.rfind(' ');
  request.method = std::string(requestLine.substr(0, firstBlank));
  if (firstBlank != std::string_view::npos && lastBlank > firstBlank) {
    request.target = std::string(requestLine.substr(firstBlank + 1, lastBlank - firstBlank - 1));
  }
  while (lineEnd != std::string_view::npos) {
    const std::size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string_view line =
        head.substr(start, lineEnd == std::string_view::npos ? head.npos : lineEnd - start);
    const std::size_t colon = line.find(':');
    if (line.empty() || colon == std::string_view::npos) continue;
    request.headers.emplace_back(std::string(line.substr(0, colon)),
                                 std::string(Trim(line.substr(colon + 1))));
  }
  return request;
}

bool SaysClose(std::string_view value) { return EqualsIgnoreCase(Trim(value), "close"); }

// True when the response head of raw carries "Connection: close".
bool ReplyCloses(std::string_view raw) {
  const RecordedRequest head = ParseHead(raw.substr(0, raw.find("\r\n\r\n")));
  return SaysClose(head.Header("Connection"));
}

}  // namespace

std::string RecordedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsIgnoreCase(key, name)) return value;
  }
  return {};
}

bool RecordedRequest::HasHeader(std::string_view name) const { return HeaderCount(name) > 0; }

int RecordedRequest::HeaderCount(std::string_view name) const {
  return static_cast<int>(std::count_if(headers.begin(), headers.end(), [name](const auto& header) {
    return EqualsIgnoreCase(header.first, name);
  }));
}

Reply Reply::Make(std::string_view statusLine, std::string_view headers, std::string_view body) {
  Reply reply;
  reply.raw = std::string(statusLine) + "\r\n" + std::string(headers) +
              "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
  return reply;
}

Reply Reply::Ok(std::string_view body, std::string_view extraHeaders) {
  return Make("HTTP/1.1 200 OK", extraHeaders, body);
}

Reply Reply::Raw(std::string raw, bool closeAfterReply) {
  Reply reply;
  reply.raw = std::move(raw);
  reply.closeAfterReply = closeAfterReply;
  return reply;
}

Reply Reply::Endless(std::string_view headers, std::string piece) {
  Reply reply;
  reply.raw = std::string(headers);
  reply.piece = std::move(piece);
  reply.fault = Fault::kEndlessBody;
  return reply;
}

Reply Reply::Drip(std::string_view headers, std::string piece, std::chrono::milliseconds interval) {
  Reply reply = Endless(headers, std::move(piece));
  reply.fault = Fault::kDrip;
  reply.delay = interval;
  return reply;
}

Reply Reply::CloseWithoutReply() {
  Reply reply;
  reply.fault = Fault::kCloseWithoutReply;
  return reply;
}

struct LoopbackServer::TlsContext {
  SSL_CTX* context = nullptr;
  ~TlsContext() { SSL_CTX_free(context); }
};

// One accepted connection, plain or TLS, read and written whole.
class LoopbackServer::Connection {
 public:
  Connection(int fd, SSL_CTX* tls) : fd_(fd) {
    if (tls != nullptr) {
      ssl_ = SSL_new(tls);
      SSL_set_fd(ssl_, fd);
      ok_ = SSL_accept(ssl_) == 1;
    }
  }
  ~Connection() {
    if (ssl_ != nullptr) {
      if (ok_) SSL_shutdown(ssl_);
      SSL_free(ssl_);
    }
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool ok() const { return ok_; }

  // Appends what arrives next to buffer; false at end of stream or on error.
  bool Read(std::string& buffer) {
    char chunk[16384];
    long got = 0;
    if (ssl_ != nullptr) {
      got = SSL_read(ssl_, chunk, sizeof chunk);
    } else {
      got = ::recv(fd_, chunk, sizeof chunk, 0);
    }
    if (got <= 0) {
      ok_ = false;
      return false;
    }
    buffer.append(chunk, static_cast<std::size_t>(got));
    return true;
  }

  bool Write(std::string_view bytes) {
    while (!bytes.empty()) {
      long put = 0;
      const int slice = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
      if (ssl_ != nullptr) {
        put = SSL_write(ssl_, bytes.data(), slice);
      } else {
        put = ::send(fd_, bytes.data(), static_cast<std::size_t>(slice), MSG_NOSIGNAL);
      }
      if (put <= 0) {
        ok_ = false;
        return false;
      }
      bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
  }

 private:
  int fd_;
  SSL* ssl_ = nullptr;
  bool ok_ = true;
};

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) { Start(); }

LoopbackServer::LoopbackServer(Handler handler, const TlsIdentity& tls)
    : handler_(std::move(handler)), tls_(std::make_unique<TlsContext>()) {
  tls_->context = SSL_CTX_new(TLS_server_method());
  if (tls_->context == nullptr) throw std::runtime_error("loopback server: SSL_CTX_new");
  BIO* certBio = BIO_new_mem_buf(tls.certPem.data(), static_cast<int>(tls.certPem.size()));
  X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
  BIO_free(certBio);
  BIO* keyBio = BIO_new_mem_buf(tls.keyPem.data(), static_cast<int>(tls.keyPem.size()));
  EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
  BIO_free(keyBio);
  const bool ok = cert != nullptr && key != nullptr && SSL_CTX_use_certificate(tls_->context, cert) == 1 &&
                  SSL_CTX_use_PrivateKey(tls_->context, key) == 1;
  X509_free(cert);
  EVP_PKEY_free(key);
  if (!ok) throw std::runtime_error("loopback server: bad certificate or key");
  Start();
}

void LoopbackServer::Start() {
  std::signal(SIGPIPE, SIG_IGN);  // a client that hangs up must not end the test binary
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("loopback server: socket");
  const int yes = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 64) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("loopback server: bind or listen");
  }
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  ::shutdown(listenFd_, SHUT_RDWR);  // wakes the accept loop at once
  if (acceptThread_.joinable()) acceptThread_.join();
  ::close(listenFd_);
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    // Wakes every connection thread blocked in a read.
    for (const int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    workers.swap(workers_);
  }
  for (auto& worker : workers) worker.join();
}

void LoopbackServer::AcceptLoop() {
  while (!stopping_) {
    pollfd poller{listenFd_, POLLIN, 0};
    if (::poll(&poller, 1, 50) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(fd);
      break;
    }
    openFds_.push_back(fd);
    workers_.emplace_back([this, fd] { Serve(fd); });
  }
}

void LoopbackServer::Serve(int fd) {
  {
    Connection connection(fd, tls_ ? tls_->context : nullptr);
    std::string buffer;
    while (connection.ok() && !stopping_) {
      std::size_t headEnd = buffer.find("\r\n\r\n");
      while (headEnd == std::string::npos) {
        if (!connection.Read(buffer) || buffer.front() < 'A' || buffer.front() > 'Z') break;
        headEnd = buffer.find("\r\n\r\n");
      }
      if (headEnd == std::string::npos) break;
      // Not a request at all (a TLS hello sent to a plain server, say): hang up as an HTTP server would.
      if (buffer.front() < 'A' || buffer.front() > 'Z') break;
      RecordedRequest request = ParseHead(std::string_view(buffer).substr(0, headEnd));
      const std::size_t bodyLength =
          static_cast<std::size_t>(std::strtoull(request.Header("Content-Length").c_str(), nullptr, 10));
      EarlyHandler early;
      {
        std::lock_guard lock(mutex_);
        early = earlyHandler_;
      }
      if (std::optional<Reply> reply = early ? early(request) : std::nullopt) {
        request.body.resize(std::min(bodyLength, kEarlyBodyBytes));  // how much to read
        AnswerEarly(connection, fd, buffer, headEnd, request, *reply);
        break;
      }
      const std::size_t total = headEnd + 4 + bodyLength;
      while (buffer.size() < total) {
        if (!connection.Read(buffer)) break;
      }
      if (buffer.size() < total) break;
      request.raw = buffer.substr(0, total);
      request.body = buffer.substr(headEnd + 4, bodyLength);
      buffer.erase(0, total);
      Record(request);

      const Reply reply = handler_(request);
      if (reply.fault == Reply::Fault::kCloseWithoutReply) break;
      if (reply.fault == Reply::Fault::kDelayBeforeReply) Pause(reply.delay);
      if (!connection.Write(reply.raw)) break;
      if (reply.fault == Reply::Fault::kDrip) {
        do {
          Pause(reply.delay);
        } while (!stopping_ && connection.Write(reply.piece));
        break;
      }
      if (reply.fault == Reply::Fault::kEndlessBody) {
        while (!stopping_ && connection.Write(reply.piece)) {
        }
        break;
      }
      if (reply.closeAfterReply || SaysClose(request.Header("Connection")) || ReplyCloses(reply.raw)) break;
    }
  }
  std::lock_guard lock(mutex_);
  std::erase(openFds_, fd);
  ::close(fd);
}

void LoopbackServer::SetEarlyHandler(EarlyHandler handler) {
  std::lock_guard lock(mutex_);
  earlyHandler_ = std::move(handler);
}

void LoopbackServer::Pause(std::chrono::milliseconds delay) const {
  const auto until = std::chrono::steady_clock::now() + delay;
  while (!stopping_ && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void LoopbackServer::AnswerEarly(Connection& connection, int fd, std::string& buffer, std::size_t headEnd,
                                 RecordedRequest& request, const Reply& reply) {
  const std::size_t wanted = headEnd + 4 + request.body.size();
  while (buffer.size() < wanted && connection.Read(buffer)) {
  }
  const std::size_t kept = std::min(buffer.size(), wanted);
  request.raw = buffer.substr(0, kept);
  const std::size_t bodyStart = std::min(kept, headEnd + 4);
  request.body = buffer.substr(bodyStart, kept - bodyStart);
  Record(request);
  connection.Write(reply.raw);
  // Time for the client to read the answer; then a reset, since the rest of the body stays unread.
  Pause(std::chrono::milliseconds(200));
  const linger reset{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

void LoopbackServer::Record(const RecordedRequest& request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(request);
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackServer::ClearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

}  // namespace wharfling::testing
