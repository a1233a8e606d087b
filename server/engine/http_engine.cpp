#include "server/engine/http_engine.h"

#include <fcntl.h>
#include <gnutls/abstract.h>
#include <gnutls/gnutls.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "server/engine/address_slots.h"
#include "server/engine/connection_drain.h"
#include "server/engine/forwarded_for.h"
#include "server/engine/listen_socket.h"

extern "C" int WharflingRetrieveCertificate(gnutls_session_t, const gnutls_datum_t*, int,
                                            const gnutls_pk_algorithm_t*, int, gnutls_pcert_st**,
                                            unsigned int*, gnutls_privkey_t*);

namespace wharfling::server {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kListenBacklog = 1024;
// Room a connection's memory keeps beside its head, for the read buffer and the answer's head.
constexpr std::size_t kConnectionMemoryBeyondHead = 8 * 1024;
constexpr std::string_view kHeadTimedOut =
    "HTTP/1.1 408 Request Timeout\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";

// One client connection, from its accept to its close.
struct Connection {
  std::string slotKey;
  // A descriptor of our own for its socket, so that the head deadline can end the connection and a
  // drain can outlive the library's hold on it.
  UniqueFd socket;
  // Guarded by the engine's mutex.
  bool inHead = true;  // waiting for, or reading, a request's head
  Clock::time_point headSince;
  bool timedOut = false;
  bool drain = false;
  bool drainBriefly = false;
};

// One request, from its head to its end.
struct Request {
  Exchange exchange;
  std::unique_ptr<RequestBody> body;
  std::uint64_t bodyBytes = 0;
  Clock::time_point bodyStart;
  bool answered = false;
  // The answer is ready but waits for the library: one queued while it reads the head would end
  // the connection, and none can be queued while it reads the body. The rest of the body is then
  // read and dropped, within the drain's bounds.
  bool ready = false;
  std::uint64_t drainLeft = 0;
  Clock::time_point drainEnds;
};

std::string NumericHost(const sockaddr* address, int& port) {
  const socklen_t length = address->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  std::array<char, NI_MAXHOST> host{};
  std::array<char, NI_MAXSERV> service{};
  if (::getnameinfo(address, length, host.data(), host.size(), service.data(), service.size(),
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    return {};
  }
  port = std::atoi(service.data());
  return host.data();
}

MHD_Result CollectField(void* cls, MHD_ValueKind, const char* key, size_t keySize, const char* value,
                        size_t valueSize) {
  static_cast<Fields*>(cls)->emplace_back(std::string(key, keySize),
                                          value == nullptr ? std::string() : std::string(value, valueSize));
  return MHD_YES;
}

Connection* ConnectionOf(MHD_Connection* connection) {
  const auto* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info == nullptr ? nullptr : static_cast<Connection*>(info->socket_context);
}

}  // namespace

struct HttpEngine::Impl {
  Impl(const ConnectionLimits& l, HttpHandler& h) : limits(l), handler(h), slots(limits), drain(limits) {}

  MHD_Result Begin(MHD_Connection* connection, const char* url, const char* method, void** context);
  MHD_Result Body(Request& request, const char* data, std::size_t size);
  MHD_Result Answer(MHD_Connection* connection, Request& request);
  MHD_Result Drop(Request& request, std::size_t size);
  void Completed(MHD_Connection* connection, Request* request, MHD_RequestTerminationCode code);
  void Opened(MHD_Connection* connection, void** context);
  void Closed(Connection* connection);
  void WatchHeads();
  bool PastCutOff() const {
    const auto at = cutOffAt.load();
    return at != 0 && Clock::now().time_since_epoch().count() >= at;
  }

  const ConnectionLimits limits;
  HttpHandler& handler;
  AddressSlots slots;
  ConnectionDrain drain;
  MHD_Daemon* daemon = nullptr;
  int listenFd = -1;
  int port = -1;
  TlsCertificate* tls = nullptr;

  std::mutex mutex;
  std::condition_variable changed;
  std::set<Connection*> connections;
  std::size_t requestsUnderWay = 0;
  bool stopping = false;
  std::atomic<Clock::rep> cutOffAt{0};
  std::thread watch;
};

MHD_Result HttpEngine::Impl::Begin(MHD_Connection* connection, const char* url, const char* method,
                                   void** context) {
  Connection* owner = ConnectionOf(connection);
  {
    std::lock_guard lock(mutex);
    if (owner != nullptr && owner->timedOut) return MHD_NO;
    if (owner != nullptr) owner->inHead = false;
    ++requestsUnderWay;
  }
  MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT,
                            static_cast<unsigned>(limits.readTimeout.count()));
  auto* request = new Request;
  *context = request;
  HttpRequest& head = request->exchange.request;
  head.method = method;
  head.path = url;
  MHD_get_connection_values_n(connection, MHD_HEADER_KIND, CollectField, &head.headers);
  MHD_get_connection_values_n(connection, MHD_GET_ARGUMENT_KIND, CollectField, &head.query);
  if (const auto* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS)) {
    head.clientAddress = NumericHost(info->client_addr, head.clientPort);
  }
  if (!limits.trustedProxy.empty() && CanonicalAddress(head.clientAddress) == limits.trustedProxy) {
    // Without a usable last hop the request stays the proxy's own.
    if (std::string client = LastForwardedHop(head.headers); !client.empty()) {
      head.clientAddress = std::move(client);
      head.forwarded = true;
    }
  }
  head.secure = tls != nullptr;
  request->exchange.bodyCap = limits.maxBodyBytes;
  if (head.headers.size() > limits.maxHeaderLines) {
    HttpResponse& res = request->exchange.response;
    res.status = 431;
    res.close = true;
    request->exchange.outcome = "too many header lines";
    return Answer(connection, *request);
  }
  request->body = handler.Begin(request->exchange);
  if (!request->body && !head.HasBody()) {
    request->ready = true;
    return MHD_YES;
  }
  if (!request->body) {
    // Answered without reading the body: the connection cannot carry another request.
    if (head.HasBody() && owner != nullptr) {
      std::lock_guard lock(mutex);
      owner->drain = true;
      owner->drainBriefly = request->exchange.response.drainBriefly;
    }
    if (head.HasBody()) request->exchange.response.close = true;
    return Answer(connection, *request);
  }
  request->bodyStart = Clock::now();
  return MHD_YES;
}

MHD_Result HttpEngine::Impl::Body(Request& request, const char* data, std::size_t size) {
  request.bodyBytes += size;
  const auto elapsed = Clock::now() - request.bodyStart;
  const bool tooSlow =
      elapsed > limits.bodyGrace &&
      static_cast<double>(request.bodyBytes) <
          std::chrono::duration<double>(elapsed).count() * static_cast<double>(limits.minBodyBytesPerSecond);
  // Past a limit the connection is dropped without an answer: the client broke it.
  if (PastCutOff() || request.bodyBytes > request.exchange.bodyCap || tooSlow) return MHD_NO;
  if (request.body->Append(data, size)) return MHD_YES;
  request.body->Finish(false);
  HttpResponse& res = request.exchange.response;
  res.close = true;
  request.ready = true;
  request.drainLeft = res.drainBriefly ? limits.briefDrainBytes : limits.drainBytes;
  request.drainEnds = Clock::now() + (res.drainBriefly ? limits.briefDrainTotal : limits.drainTotal);
  return MHD_YES;
}

MHD_Result HttpEngine::Impl::Drop(Request& request, std::size_t size) {
  if (size > request.drainLeft || Clock::now() > request.drainEnds || PastCutOff()) return MHD_NO;
  request.drainLeft -= size;
  return MHD_YES;
}

MHD_Result HttpEngine::Impl::Answer(MHD_Connection* connection, Request& request) {
  HttpResponse& res = request.exchange.response;
  request.answered = true;
  MHD_Response* response = res.file.valid() ? MHD_create_response_from_fd64(res.fileSize, res.file.Release())
                                            : MHD_create_response_from_buffer(
                                                  res.body.size(), res.body.data(), MHD_RESPMEM_MUST_COPY);
  if (response == nullptr) return MHD_NO;
  for (const auto& [name, value] : res.headers)
    MHD_add_response_header(response, name.c_str(), value.c_str());
  if (res.close) MHD_add_response_header(response, "Connection", "close");
  const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(res.status), response);
  MHD_destroy_response(response);
  return queued;
}

void HttpEngine::Impl::Completed(MHD_Connection* connection, Request* request,
                                 MHD_RequestTerminationCode code) {
  // Cut off before its answer: the body's owner still decides (an upload leaves nothing).
  if (!request->answered && request->body) request->body->Finish(false);
  handler.Completed(request->exchange);
  delete request;
  Connection* owner = ConnectionOf(connection);
  {
    std::lock_guard lock(mutex);
    if (owner != nullptr) {
      owner->inHead = true;
      owner->headSince = Clock::now();
    }
    --requestsUnderWay;
  }
  changed.notify_all();
  if (code == MHD_REQUEST_TERMINATED_COMPLETED_OK) {
    MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT,
                              static_cast<unsigned>(limits.keepAliveTimeout.count()));
  }
}

void HttpEngine::Impl::Opened(MHD_Connection* connection, void** context) {
  auto* opened = new Connection;
  if (const auto* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS)) {
    const sockaddr* address = info->client_addr;
    opened->slotKey =
        SlotKey(address, address->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in),
                limits.trustedProxy);
  }
  if (const auto* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)) {
    opened->socket = UniqueFd(::fcntl(info->connect_fd, F_DUPFD_CLOEXEC, 0));
  }
  opened->headSince = Clock::now();
  slots.Enter(opened->slotKey);
  {
    std::lock_guard lock(mutex);
    connections.insert(opened);
  }
  *context = opened;
}

void HttpEngine::Impl::Closed(Connection* closed) {
  {
    std::lock_guard lock(mutex);
    connections.erase(closed);
  }
  slots.Leave(closed->slotKey);
  if (closed->drain && !closed->timedOut && closed->socket.valid())
    drain.Add(std::move(closed->socket), closed->drainBriefly);
  delete closed;
}

// The head deadline: a connection that has not brought a whole request head in time is answered 408
// (in plain HTTP) and shut; the library then sees its end and closes it.
void HttpEngine::Impl::WatchHeads() {
  std::unique_lock lock(mutex);
  while (!stopping) {
    changed.wait_for(lock, std::chrono::milliseconds(50));
    const auto now = Clock::now();
    for (Connection* connection : connections) {
      if (!connection->inHead || connection->timedOut || now - connection->headSince < limits.headTimeout)
        continue;
      connection->timedOut = true;
      if (!connection->socket.valid()) continue;
      if (tls == nullptr)
        ::send(connection->socket.get(), kHeadTimedOut.data(), kHeadTimedOut.size(),
               MSG_DONTWAIT | MSG_NOSIGNAL);
      ::shutdown(connection->socket.get(), SHUT_RDWR);
    }
  }
}

namespace {

MHD_Result Access(HttpEngine::Impl& engine, MHD_Connection* connection, const char* url, const char* method,
                  const char* data, size_t* size, void** context) {
  auto* request = static_cast<Request*>(*context);
  if (request == nullptr) return engine.Begin(connection, url, method, context);
  if (request->answered || request->ready) {
    const std::size_t got = *size;
    *size = 0;
    if (request->answered) return MHD_YES;
    return got == 0 ? engine.Answer(connection, *request) : engine.Drop(*request, got);
  }
  if (*size > 0) {
    const std::size_t got = *size;
    *size = 0;
    return engine.Body(*request, data, got);
  }
  request->body->Finish(true);
  return engine.Answer(connection, *request);
}

// Nothing may leave a callback of the library: a request whose handling failed is answered 500, or
// has its connection closed when that is no longer possible.
MHD_Result OnAccess(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                    const char* data, size_t* size, void** context) {
  auto& engine = *static_cast<HttpEngine::Impl*>(cls);
  try {
    return Access(engine, connection, url, method, data, size, context);
  } catch (const std::exception&) {
    auto* request = static_cast<Request*>(*context);
    if (request == nullptr || request->answered) return MHD_NO;
    request->body.reset();
    request->exchange.response = HttpResponse{};
    request->exchange.response.status = 500;
    request->exchange.response.close = true;
    request->exchange.outcome = "internal error";
    return engine.Answer(connection, *request);
  }
}

void OnCompleted(void* cls, MHD_Connection* connection, void** context, MHD_RequestTerminationCode code) {
  auto* request = static_cast<Request*>(*context);
  if (request == nullptr) return;
  *context = nullptr;
  try {
    static_cast<HttpEngine::Impl*>(cls)->Completed(connection, request, code);
  } catch (const std::exception&) {
    delete request;
  }
}

void OnConnection(void* cls, MHD_Connection* connection, void** context,
                  MHD_ConnectionNotificationCode code) {
  auto& engine = *static_cast<HttpEngine::Impl*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    engine.Opened(connection, context);
  } else if (*context != nullptr) {
    engine.Closed(static_cast<Connection*>(*context));
    *context = nullptr;
  }
}

MHD_Result OnAccept(void* cls, const sockaddr* address, socklen_t length) {
  auto& engine = *static_cast<HttpEngine::Impl*>(cls);
  return engine.slots.HasRoom(SlotKey(address, length, engine.limits.trustedProxy)) ? MHD_YES : MHD_NO;
}

}  // namespace

HttpEngine::HttpEngine(const ConnectionLimits& limits, HttpHandler& handler)
    : impl_(std::make_unique<Impl>(limits, handler)) {}

HttpEngine::~HttpEngine() { Stop(); }

int HttpEngine::port() const { return impl_->port; }

bool HttpEngine::Start(const std::string& host, int port, TlsCertificate* tls, std::string& error) {
  Impl& e = *impl_;
  if (tls != nullptr && MHD_is_feature_supported(MHD_FEATURE_HTTPS_CERT_CALLBACK) != MHD_YES) {
    error = "this libmicrohttpd cannot serve TLS";
    return false;
  }
  UniqueFd listening = OpenListenSocket(host, port, kListenBacklog, error);
  if (!listening.valid()) return false;
  e.tls = tls;
  unsigned flags =
      MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL | MHD_USE_ITC;
  std::vector<MHD_OptionItem> options = {
      {MHD_OPTION_LISTEN_SOCKET, listening.get(), nullptr},
      {MHD_OPTION_CONNECTION_LIMIT, static_cast<intptr_t>(e.limits.maxConnections), nullptr},
      {MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<intptr_t>(e.limits.maxConnectionsPerAddress), nullptr},
      {MHD_OPTION_CONNECTION_MEMORY_LIMIT,
       static_cast<intptr_t>(e.limits.maxHeadBytes + kConnectionMemoryBeyondHead), nullptr},
      {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(e.limits.keepAliveTimeout.count()), nullptr},
      {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&OnCompleted), &e},
      {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&OnConnection), &e},
  };
  if (tls != nullptr) {
    flags |= MHD_USE_TLS;
    options.push_back(
        {MHD_OPTION_HTTPS_CERT_CALLBACK, 0, reinterpret_cast<void*>(&WharflingRetrieveCertificate)});
    tls->Serve(port);
  }
  options.push_back({MHD_OPTION_END, 0, nullptr});
  e.daemon = MHD_start_daemon(flags, 0, &OnAccept, &e, &OnAccess, &e, MHD_OPTION_ARRAY, options.data(),
                              MHD_OPTION_END);
  if (e.daemon == nullptr) {
    if (tls != nullptr) tls->Unserve();
    error = "the HTTP engine did not start on " + HostAndPort(host, port);
    return false;
  }
  e.listenFd = listening.Release();
  e.port = port;
  e.watch = std::thread([&e] { e.WatchHeads(); });
  return true;
}

void HttpEngine::Stop(const std::function<void()>& atCutOff) {
  Impl& e = *impl_;
  if (e.daemon == nullptr) return;
  const auto cutOff = Clock::now() + e.limits.stopGrace;
  e.cutOffAt = cutOff.time_since_epoch().count();
  MHD_quiesce_daemon(e.daemon);
  {
    std::unique_lock lock(e.mutex);
    e.changed.wait_until(lock, cutOff, [&e] { return e.requestsUnderWay == 0; });
  }
  if (atCutOff) atCutOff();
  MHD_stop_daemon(e.daemon);
  e.daemon = nullptr;
  ::close(e.listenFd);
  e.listenFd = -1;
  {
    std::lock_guard lock(e.mutex);
    e.stopping = true;
  }
  e.changed.notify_all();
  if (e.watch.joinable()) e.watch.join();
  e.drain.Stop();
  if (e.tls != nullptr) e.tls->Unserve();
}

}  // namespace wharfling::server
