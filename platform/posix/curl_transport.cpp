#include "platform/posix/curl_transport.h"

#include <curl/curl.h>

#include <array>
#include <mutex>
#include <string_view>

#include "text/text.h"
#include "web/request_headers.h"
#include "web/url_parts.h"

namespace wharfling::posix {
namespace {

constexpr long kConnectTimeoutSeconds = 60;
// A transfer that moves less than one byte per second for this long fails; there is no overall limit,
// so a large upload on a slow link finishes.
constexpr long kStallSeconds = 60;

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
  bool headersComplete = false;  // the blank line after a final (non-1xx) header section was seen
  bool inBody = false;
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
  if (capture.inBody) return length;  // trailers are not part of the header block
  std::string_view line(data, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    // Each response starts a new block, so an interim 1xx response is dropped by the final one.
    capture.block.clear();
    capture.headersComplete = false;
    const std::size_t blank = line.find(' ');
    capture.status =
        blank == std::string_view::npos ? 0 : std::atoi(std::string(line.substr(blank + 1, 3)).c_str());
  }
  if (line.empty()) {
    if (capture.status >= 200) capture.headersComplete = true;
    return length;
  }
  capture.block.append(line);
  capture.block.append("\r\n");
  return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& capture = *static_cast<Capture*>(user);
  capture.inBody = true;
  if (!capture.Count(size * count)) return kAbortTransfer;
  capture.body.append(data, size * count);
  return size * count;
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
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, 0L);
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
  // A response whose headers arrived counts as sent even when its body was cut short: the body read so
  // far is what the drivers get, as with a failed read on the Windows client.
  if (result != CURLE_OK && !capture.headersComplete) {
    response.error = errorText[0] != '\0' ? errorText.data() : curl_easy_strerror(result);
    return response;
  }
  response.sent = true;
  response.headerBlock = std::move(capture.block);
  response.body = std::move(capture.body);
  return response;
}

}  // namespace wharfling::posix
