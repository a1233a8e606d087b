#include "platform/posix/curl_transport.h"

#include <curl/curl.h>
#if defined(__linux__)
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <mutex>
#include <optional>
#include <string_view>

#include "text/text.h"
#include "web/request_headers.h"
#include "web/url_parts.h"

namespace wharfling::posix {
namespace {

using Clock = std::chrono::steady_clock;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

bool Append(HeaderList& list, const std::string& line) {
  curl_slist* grown = curl_slist_append(list.get(), line.c_str());
  if (grown == nullptr) return false;
  list.release();
  list.reset(grown);
  return true;
}

// What the response callbacks collect: the final response's header block and the body.
struct Capture {
  std::string block;
  std::string body;
  int status = 0;
  bool expectStatusLine = true;  // only the first line of a header block is a status line
  bool headersComplete = false;  // the blank line after a final (non-1xx) header section was seen
  // Every byte of the reply counts, interim responses and trailers too, so that no peer can keep an
  // exchange going or growing for ever.
  std::size_t received = 0;
  bool tooLarge = false;

  // False, and the transfer must stop, once the reply passes the cap.
  bool Count(std::size_t length) {
    received += length;
    tooLarge = tooLarge || received > kMaxReplyBytes;
    return !tooLarge;
  }
};

// Returning a count other than the one offered makes curl abort the transfer.
constexpr size_t kAbortTransfer = 0;

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& capture = *static_cast<Capture*>(user);
  const size_t length = size * count;
  if (!capture.Count(length)) return kAbortTransfer;
  if (capture.headersComplete) return length;  // trailer fields are not part of the header block
  std::string_view line(data, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (capture.expectStatusLine) {
    if (line.empty()) return length;
    // Each response starts a new block, so an interim 1xx response is dropped by the final one.
    capture.block.clear();
    capture.expectStatusLine = false;
    const std::size_t blank = line.find(' ');
    capture.status =
        blank == std::string_view::npos ? 0 : std::atoi(std::string(line.substr(blank + 1, 3)).c_str());
  } else if (line.empty()) {
    const bool interim = capture.status >= 100 && capture.status < 200;
    capture.expectStatusLine = interim;
    capture.headersComplete = !interim;
    return length;
  }
  capture.block.append(line);
  capture.block.append("\r\n");
  return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& capture = *static_cast<Capture*>(user);
  if (!capture.Count(size * count)) return kAbortTransfer;
  capture.body.append(data, size * count);
  return size * count;
}

// Bytes handed to the socket that the peer has not taken yet; none once the connection is gone (a
// reset empties the queue without the peer taking anything). curl counts a body byte as sent once
// the kernel has it, and a slow link can hold megabytes there; without the queue the end of a large
// upload would look like a stall, its progress like a leap, and a body cut off by the peer like a
// whole one.
std::optional<std::uint64_t> QueuedBytes(curl_socket_t socket) {
#if defined(__linux__)
  if (socket == CURL_SOCKET_BAD) return std::nullopt;
  tcp_info info{};
  socklen_t length = sizeof info;
  if (::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) return std::nullopt;
  if (info.tcpi_state != TCP_ESTABLISHED && info.tcpi_state != TCP_CLOSE_WAIT) return std::nullopt;
  int queued = 0;
  if (::ioctl(socket, SIOCOUTQ, &queued) != 0 || queued < 0) return std::nullopt;
  return static_cast<std::uint64_t>(queued);
#else
  (void)socket;
  return 0;
#endif
}

// The limits and the cancel request, looked at by curl's progress callback, which curl calls while
// bytes move and about once a second while they do not.
struct Watch {
  CURL* handle = nullptr;
  // The transfer's connection, from its opening to its closing (curl tells both, below).
  curl_socket_t socket = CURL_SOCKET_BAD;
  const HttpRequest* request = nullptr;
  const TransferLimits* limits = nullptr;
  const Capture* capture = nullptr;
  Clock::time_point markTime = Clock::now();
  std::uint64_t markMoved = 0;
  std::optional<Clock::time_point> requestOutAt;
  bool wasWaiting = false;
  // The most of the body the peer was seen to have taken.
  std::uint64_t peerSent = 0;
  // Whether the peer was seen to have taken the whole body.
  bool peerTookAll = false;
  // Why the watch stopped the transfer; empty while it lets it go on.
  std::string stopReason;

  bool Stop(std::string why) {
    stopReason = std::move(why);
    return true;
  }

  // True when the transfer must stop.
  bool Check(std::uint64_t uploaded) {
    const Clock::time_point now = Clock::now();
    if (request->cancel != nullptr && request->cancel->requested()) return Stop("cancelled");
    if (request->deadline && now >= *request->deadline) return Stop("the time limit ran out");
    curl_off_t started = 0;
    if (curl_easy_getinfo(handle, CURLINFO_PRETRANSFER_TIME_T, &started) != CURLE_OK || started == 0) {
      markTime = now;  // still connecting: the connect limit governs
      return false;
    }
    const std::uint64_t total = request->body.size();
    const std::uint64_t handed = std::min<std::uint64_t>(uploaded, total);
    const std::optional<std::uint64_t> queued = QueuedBytes(socket);
    const std::uint64_t sent = !queued ? peerSent : handed > *queued ? handed - *queued : 0;
    if (sent > peerSent) {
      peerSent = sent;
      if (request->onBodyProgress) request->onBodyProgress(sent, total);
    }
    const bool replyBegun = capture->received > 0;
    const bool requestOut = handed == total && queued == std::optional<std::uint64_t>(0);
    peerTookAll = peerTookAll || requestOut;
    if (requestOut && !requestOutAt) requestOutAt = now;
    if (requestOutAt && now - *requestOutAt >= limits->replyCeiling) {
      return Stop("no whole reply within " + std::to_string(limits->replyCeiling.count() / 1000) +
                  " s of the request");
    }
    const std::uint64_t moved = sent + capture->received;
    // Waiting for the site to answer is the reply ceiling's business, not a stall; the stall clock
    // starts afresh when the reply begins.
    const bool waiting = requestOut && !replyBegun;
    if (waiting || wasWaiting || moved >= markMoved + limits->stallBytes) {
      markTime = now;
      markMoved = moved;
      wasWaiting = waiting;
      return false;
    }
    if (now - markTime >= limits->stallWindow) {
      return Stop("the connection stalled: under " + std::to_string(limits->stallBytes / 1024) + " KiB in " +
                  std::to_string(limits->stallWindow.count() / 1000) + " s");
    }
    return false;
  }
};

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
  auto& watch = *static_cast<Watch*>(user);
  return watch.Check(uploaded > 0 ? static_cast<std::uint64_t>(uploaded) : 0) ? 1 : 0;
}

int OnSocketOpened(void* user, curl_socket_t socket, curlsocktype purpose) {
  if (purpose == CURLSOCKTYPE_IPCXN) static_cast<Watch*>(user)->socket = socket;
  return CURL_SOCKOPT_OK;
}

int OnSocketClosing(void* user, curl_socket_t socket) {
  auto& watch = *static_cast<Watch*>(user);
  if (watch.socket == socket) watch.socket = CURL_SOCKET_BAD;  // its number may be reused from now on
  return ::close(socket);
}

std::string HostForUrl(std::string_view host) {
  return host.find(':') != std::string_view::npos ? "[" + std::string(host) + "]" : std::string(host);
}

std::string DefaultCaPath() {
  EasyHandle probe(curl_easy_init());
  char* path = nullptr;
  if (probe && curl_easy_getinfo(probe.get(), CURLINFO_CAPATH, &path) == CURLE_OK && path != nullptr) {
    return path;
  }
  return "/etc/ssl/certs";
}

}  // namespace

// One curl share with cookies shared, guarded for use from any thread.
class CurlTransport::CookieStore {
 public:
  CookieStore() : share_(curl_share_init()) {
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieStore::Lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieStore::Unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  }
  ~CookieStore() { curl_share_cleanup(share_); }
  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;

  CURLSH* share() const { return share_; }

  static std::shared_ptr<CookieStore> ProcessWide() {
    static const auto store = std::make_shared<CookieStore>();
    return store;
  }

 private:
  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
    static_cast<CookieStore*>(user)->mutexes_[Slot(data)].lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* user) {
    static_cast<CookieStore*>(user)->mutexes_[Slot(data)].unlock();
  }
  static std::size_t Slot(curl_lock_data data) {
    const auto slot = static_cast<std::size_t>(data);
    return slot < kSlots ? slot : 0;
  }

  static constexpr std::size_t kSlots = CURL_LOCK_DATA_LAST;
  CURLSH* share_;
  std::array<std::mutex, kSlots> mutexes_;
};

CurlTransportOptions CurlTransportOptions::FromEnvironment() {
  CurlTransportOptions options;
  options.caFile = ProcessEnvironment("WHARFLING_CA_FILE").value_or("");
  options.connectTo = ProcessEnvironment("WHARFLING_CONNECT_TO").value_or("");
  return options;
}

CurlTransport::CurlTransport() : CurlTransport(CurlTransportOptions::FromEnvironment()) {}

CurlTransport::CurlTransport(CurlTransportOptions options) : options_(std::move(options)) {
  InitCurlOnce();
  cookies_ = options_.ownCookieStore ? std::make_shared<CookieStore>() : CookieStore::ProcessWide();
}

CurlTransport::~CurlTransport() = default;

HttpResponse CurlTransport::Perform(const HttpRequest& request) {
  HttpResponse response;
  // Outlives the handle: curl closes the connection through it when the handle goes.
  Watch watch;
  EasyHandle easy(curl_easy_init());
  if (!easy) {
    response.error = "cannot start a transfer";
    return response;
  }
  CURL* const handle = easy.get();

  // The URL only names scheme, host and port; the request target is set exactly below.
  const std::string host = HostForUrl(request.host);
  const std::string origin =
      std::string(request.secure ? "https://" : "http://") + host + ":" + std::to_string(request.port);
  const std::string url = origin + "/";

  std::string proxy;
  if (request.access == AccessMode::kSystemSettings) {
    proxy = ChooseSystemProxy(request.secure, request.host, options_.environment);
  }
  // A plain request through a proxy names the whole address; a secure one goes through a tunnel and
  // names only the path, as to the server itself.
  std::string target = EscapeRequestTarget(request.target);
  if (!proxy.empty() && !request.secure) {
    // As a browser writes it: the port only when it is not the scheme's own.
    target = "http://" + host + (request.port == 80 ? "" : ":" + std::to_string(request.port)) + target;
  }

  HeaderList headers;
  bool listed = true;
  for (const auto& line : request.headerLines) listed = listed && Append(headers, line);
  // Switch off what curl would add of its own: a browser sends no Expect, and curl's Accept and form
  // Content-Type must not appear where the identity gives none.
  listed = listed && Append(headers, "Expect:");
  RequestHeaders given;
  for (const auto& line : request.headerLines) given.Add(line);
  if (!given.Has("Accept")) listed = listed && Append(headers, "Accept:");
  if (request.method == Method::kPost && !given.Has("Content-Type")) {
    listed = listed && Append(headers, "Content-Type:");
  }
  if (!listed) {
    response.error = "cannot list the request's header lines";
    return response;
  }

  HeaderList connectTo;
  std::string_view entries = options_.connectTo;
  while (!entries.empty()) {
    const std::size_t comma = entries.find(',');
    std::string entry(entries.substr(0, comma));
    std::erase_if(entry, [](char c) { return c == ' ' || c == '\t'; });
    if (!entry.empty() && !Append(connectTo, entry)) {
      response.error = "cannot list the connection overrides";
      return response;
    }
    entries = comma == std::string_view::npos ? std::string_view() : entries.substr(comma + 1);
  }

  Capture capture;
  std::array<char, CURL_ERROR_SIZE> errorText{};
  const std::string userAgent(request.userAgent);
  static const char kEmptyBody[] = "";

  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText.data());
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_REQUEST_TARGET, target.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_USERAGENT, userAgent.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(handle, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  auto connectLimit = options_.limits.connect;
  if (request.deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*request.deadline - Clock::now());
    connectLimit = std::clamp(left, std::chrono::milliseconds(1), connectLimit);
  }
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectLimit.count()));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, 0L);  // the watch below ends what no longer moves
  watch.handle = handle;
  watch.request = &request;
  watch.limits = &options_.limits;
  watch.capture = &capture;
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &watch);
  curl_easy_setopt(handle, CURLOPT_SOCKOPTFUNCTION, &OnSocketOpened);
  curl_easy_setopt(handle, CURLOPT_SOCKOPTDATA, &watch);
  curl_easy_setopt(handle, CURLOPT_CLOSESOCKETFUNCTION, &OnSocketClosing);
  curl_easy_setopt(handle, CURLOPT_CLOSESOCKETDATA, &watch);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options_.caFile.empty()) {
    // CAINFO replaces the system bundle; the system's hashed certificate folder stays trusted.
    static const std::string systemCaPath = DefaultCaPath();
    curl_easy_setopt(handle, CURLOPT_CAINFO, options_.caFile.c_str());
    curl_easy_setopt(handle, CURLOPT_CAPATH, systemCaPath.c_str());
  }
  curl_easy_setopt(handle, CURLOPT_SHARE, cookies_->share());
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");  // cookie engine on, in memory only
  curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(handle, CURLOPT_NOPROXY, proxy.empty() ? "*" : "");
  curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  // Only a direct connection is redirected: with a proxy curl would turn every request into a tunnel.
  if (connectTo && proxy.empty()) curl_easy_setopt(handle, CURLOPT_CONNECT_TO, connectTo.get());
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &capture);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &capture);
  if (request.method == Method::kPost) {
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    // Handed over in place: curl reads the caller's bytes without copying them.
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.empty() ? kEmptyBody : request.body.data());
  } else {
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
  }

  const CURLcode result = curl_easy_perform(handle);
  if (capture.tooLarge) {
    response.error = "the reply is larger than " + std::to_string(kMaxReplyBytes >> 20) + " MiB";
    return response;
  }
  // A limit or a cancel fails the exchange, whatever had arrived by then.
  if (!watch.stopReason.empty()) {
    response.error = std::move(watch.stopReason);
    return response;
  }
  const std::string curlError = errorText[0] != '\0' ? errorText.data() : curl_easy_strerror(result);
  // A response whose headers arrived counts as sent even when its body was cut short: the body read so
  // far is what the drivers get.
  if (result != CURLE_OK && !capture.headersComplete) {
    response.error = curlError;
    return response;
  }
  response.sent = true;
  response.headerBlock = std::move(capture.block);
  response.body = std::move(capture.body);
  // A reply to a request whose body broke off says nothing about the body: the caller keeps it but
  // must not take it for a whole send.
  // A peer that reads the whole body acknowledges it before it answers, so bytes still queued once the
  // reply is in were never taken.
  curl_off_t uploaded = 0;
  curl_easy_getinfo(handle, CURLINFO_SIZE_UPLOAD_T, &uploaded);
  const auto total = static_cast<curl_off_t>(request.body.size());
  const bool taken =
      total == 0 || watch.peerTookAll || QueuedBytes(watch.socket) == std::optional<std::uint64_t>(0);
  if (uploaded < total || result == CURLE_SEND_ERROR || !taken) {
    if (!taken) uploaded = std::min<curl_off_t>(uploaded, static_cast<curl_off_t>(watch.peerSent));
    response.requestIncomplete = true;
    response.error = "the request went out incomplete (" + std::to_string(std::min(uploaded, total)) +
                     " of " + std::to_string(total) + " body bytes)";
    if (result != CURLE_OK) response.error += ": " + curlError;
  }
  return response;
}

}  // namespace wharfling::posix
