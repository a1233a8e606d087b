#include "server/parvault_server.h"

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/posix/encoding.h"
#include "server/csrf_tokens.h"
#include "server/form_decoding.h"
#include "server/gallery_routes.h"
#include "server/http_connection.h"
#include "server/login_brake.h"
#include "server/pages.h"
#include "server/photo_library.h"
#include "server/refusals.h"
#include "server/request_log.h"
#include "server/response_headers.h"
#include "server/sessions.h"
#include "server/upload_receiver.h"
#include "server/upload_store.h"
#include "text/text.h"

namespace wharfling::server {
namespace {

constexpr std::size_t kMaxLoginBody = 8192;
constexpr std::size_t kMaxLoggedNameBytes = 64;
constexpr int kListenBacklog = 128;

// What the handlers say about the request under way on this thread, for its log line.
thread_local std::string t_outcome;
// Set when one of this server's handlers made the answer (not cpp-httplib on its own).
thread_local bool t_answered = false;

struct Route {
  std::string base;  // "" or kSiteFolder
  std::string page;  // lower case; empty for the folder itself
};

std::optional<Route> ResolvePath(std::string_view path) {
  Route route;
  if (path.size() >= kSiteFolder.size() &&
      EqualsIgnoreCase(path.substr(0, kSiteFolder.size()), kSiteFolder) &&
      (path.size() == kSiteFolder.size() || path[kSiteFolder.size()] == '/')) {
    route.base = kSiteFolder;
    path.remove_prefix(kSiteFolder.size());
  }
  if (!path.empty()) {
    if (path.front() != '/') return std::nullopt;
    path.remove_prefix(1);
  }
  route.page = LowerCaseText(path);
  return route;
}

bool IsLoginPage(std::string_view page) {
  return page.empty() || page == "index.htm" || page == "index.html" || page == "default.asp" ||
         page == "login.asp" || page == "logincheck2.asp";
}

std::string LoggedName(std::string_view cp932Name) {
  return LogField(posix::Cp932ToUtf8(cp932Name.substr(0, kMaxLoggedNameBytes)));
}

bool HasBody(const httplib::Request& req) {
  return req.has_header("Transfer-Encoding") ||
         (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0");
}

void AnswerPage(httplib::Response& res, int status, const std::string& html) {
  res.status = status;
  res.set_content(html, std::string(kHtmlContentType));
}

// A redirect to a page of the site, given by its name only: the uploader appends it to its site
// URL and a "/".
void AnswerRedirect(httplib::Response& res, const std::string& location) {
  res.status = 302;
  res.set_header("Location", location);
  const std::string link = EscapeHtml(location);
  res.set_content("<html><body><a href=\"" + link + "\">" + link + "</a></body></html>\n",
                  std::string(kHtmlContentType));
}

// The request body was not read to its end, so the connection cannot carry another request. What the
// client still sends is drained so that it reads the answer: briefly for a client without a session,
// which is owed no more.
void CloseConnection(httplib::Response& res, bool brief = false) {
  res.set_header("Connection", "close");
  ConnectionServer::CloseAfterResponse(brief);
}

// An encoded body would be unpacked before any limit could count it, and a small one can grow huge:
// such a request is answered 415 before its body is read.
bool RefuseEncodedBody(const httplib::Request& req, httplib::Response& res) {
  if (!req.has_header("Content-Encoding") ||
      EqualsIgnoreCase(req.get_header_value("Content-Encoding"), "identity")) {
    return false;
  }
  t_answered = true;
  AnswerPage(res, 415, NotFoundPage(""));
  CloseConnection(res, true);
  t_outcome = "refused an encoded body";
  return true;
}

void AddSecurityHeaders(httplib::Response& res) {
  for (const auto& [name, value] : SecurityHeaders()) res.set_header(name, value);
}

}  // namespace

struct ParvaultServer::Impl {
  explicit Impl(ParvaultServerOptions o)
      : options(std::move(o)),
        library(store),
        gallery(library, csrf, {options.maxFileSize, options.quota, options.photosPerPage}),
        http(options.limits) {}

  void Log(const std::string& line) {
    if (options.log) {
      options.log(line);
      return;
    }
    std::lock_guard lock(logMutex);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  }

  void InstallHandlers();
  std::optional<std::string> SessionAccount(const httplib::Request& req);
  std::optional<SignedIn> Session(const httplib::Request& req);
  void CapBody(const httplib::Request& req);
  std::optional<std::uint64_t> RoomLeft(const std::string& account);
  std::optional<Refusal> CheckUploadHeaders(const httplib::Request& req, std::string& account);
  void Refuse(httplib::Response& res, Refusal refusal, const std::string& account);
  void HandleGet(const httplib::Request& req, httplib::Response& res);
  void HandlePost(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);
  void Login(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);
  void Upload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader,
              const Route& route);
  void Logout(const httplib::Request& req, httplib::Response& res, const Route& route);

  ParvaultServerOptions options;
  AccountTable accounts;
  SessionTable sessions;
  LoginBrake loginBrake;
  UploadStore store;
  PhotoLibrary library;
  CsrfTokens csrf;
  GalleryRoutes gallery;
  ConnectionServer http;
  std::thread thread;
  std::atomic<bool> listenEnded{false};
  bool started = false;
  int port = -1;
  std::mutex logMutex;
};

std::optional<SignedIn> ParvaultServer::Impl::Session(const httplib::Request& req) {
  const std::string cookies = req.get_header_value("Cookie");
  const auto token = FindCookie(cookies, kSessionCookie);
  if (!token) return std::nullopt;
  auto account = sessions.Find(*token);
  if (!account || accounts.Find(*account) == nullptr) return std::nullopt;
  return SignedIn{std::move(*account), std::string(*token)};
}

std::optional<std::string> ParvaultServer::Impl::SessionAccount(const httplib::Request& req) {
  auto user = Session(req);
  if (!user) return std::nullopt;
  return std::move(user->account);
}

// Every raw byte of a request counts: bytes after a multipart body's closing line too. Room is
// left above the receiver's own limit so that an upload that is too large still gets its refusal.
void ParvaultServer::Impl::CapBody(const httplib::Request& req) {
  const auto route = ResolvePath(req.path);
  const bool browserForm = req.method == "POST" && route && GalleryRoutes::IsPostPage(route->page);
  ConnectionServer::CapBody(browserForm ? gallery.BodyCap(route->page) + kEnvelopeAllowance
                                        : options.maxFileSize + 2 * kEnvelopeAllowance);
}

// What the account may still store under its quota.
std::optional<std::uint64_t> ParvaultServer::Impl::RoomLeft(const std::string& account) {
  if (!options.quota) return std::nullopt;
  return *options.quota - std::min(*options.quota, library.BytesUsed(account));
}

// What can be refused from the request's header alone, before any of the body is read.
std::optional<Refusal> ParvaultServer::Impl::CheckUploadHeaders(const httplib::Request& req,
                                                                std::string& account) {
  auto signedIn = SessionAccount(req);
  if (!signedIn) return Refusal::kNotSignedIn;
  account = std::move(*signedIn);
  if (!req.is_multipart_form_data()) return Refusal::kMalformed;
  if (req.has_header("Content-Length")) {
    const std::string text = req.get_header_value("Content-Length");
    std::uint64_t length = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (ec != std::errc() || end != text.data() + text.size()) return Refusal::kMalformed;
    if (length > options.maxFileSize + kEnvelopeAllowance) return Refusal::kTooLarge;
  } else if (!req.has_header("Transfer-Encoding")) {
    return Refusal::kNoFile;  // no body at all
  }
  return std::nullopt;
}

void ParvaultServer::Impl::Refuse(httplib::Response& res, Refusal refusal, const std::string& account) {
  AnswerRedirect(res, RefusalLocation(refusal));
  t_outcome = (account.empty() ? std::string() : "user=" + account + " ") + "refused " +
              std::string(RefusalCode(refusal)) + (t_outcome.empty() ? "" : " (" + t_outcome + ")");
}

void ParvaultServer::Impl::InstallHandlers() {
  // SO_REUSEADDR only: cpp-httplib's default SO_REUSEPORT would let a second server share the
  // port silently instead of failing to start.
  http.set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    ConnectionServer::HeadRead();
    CapBody(req);
    if (RefuseEncodedBody(req, res)) return httplib::Server::HandlerResponse::Handled;
    if (req.method == "POST") return httplib::Server::HandlerResponse::Unhandled;
    if (req.method == "GET" || req.method == "HEAD") {
      if (HasBody(req)) CloseConnection(res, true);  // a body nobody reads
      return httplib::Server::HandlerResponse::Unhandled;
    }
    t_answered = true;
    res.set_header("Allow", "GET, HEAD, POST");
    AnswerPage(res, 405, NotFoundPage(""));
    CloseConnection(res);
    return httplib::Server::HandlerResponse::Handled;
  });
  http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    t_answered = true;
    HandleGet(req, res);
    AddSecurityHeaders(res);
  });
  http.Post(".*", [this](const httplib::Request& req, httplib::Response& res,
                         const httplib::ContentReader& reader) {
    t_answered = true;
    HandlePost(req, res, reader);
    AddSecurityHeaders(res);
  });
  // A client that waits for "100 Continue" learns of a refusal before it sends the photo.
  http.set_expect_100_continue_handler([this](const httplib::Request& req, httplib::Response& res) {
    ConnectionServer::HeadRead();
    CapBody(req);
    if (RefuseEncodedBody(req, res)) return res.status;
    const auto route = ResolvePath(req.path);
    std::string account;
    if (req.method == "POST" && route && route->page == "insertfile.asp") {
      if (const auto refusal = CheckUploadHeaders(req, account)) {
        t_answered = true;
        Refuse(res, *refusal, account);
        CloseConnection(res, *refusal == Refusal::kNotSignedIn);
        return res.status;
      }
    }
    return 100;
  });
  http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    t_answered = true;
    res.headers.clear();
    AnswerPage(res, 500, NotFoundPage(""));
    CloseConnection(res);
    t_outcome = "internal error";
  });
  http.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    // cpp-httplib answered by itself (a broken request line, headers too long): whatever follows
    // on this connection cannot be trusted to start a request.
    if (!t_answered && res.status >= 400) ConnectionServer::CloseAfterResponse();
    const std::string client =
        req.remote_addr.find(':') == std::string::npos ? req.remote_addr : "[" + req.remote_addr + "]";
    Log(RequestLogLine(std::chrono::system_clock::now(), client + ":" + std::to_string(req.remote_port),
                       req.method, req.path, res.status, t_outcome));
    t_outcome.clear();
    t_answered = false;
  });
}

void ParvaultServer::Impl::HandleGet(const httplib::Request& req, httplib::Response& res) {
  const auto route = ResolvePath(req.path);
  if (!route) {
    AnswerPage(res, 404, NotFoundPage(""));
    return;
  }
  const std::string& page = route->page;
  if (IsLoginPage(page)) {
    AnswerPage(res, 200, LoginPage(route->base));
  } else if (GalleryRoutes::IsGetPage(page)) {
    const auto user = Session(req);
    if (page == "menu.asp" && !user) {
      AnswerPage(res, 200, LoginPage(route->base));
      t_outcome = "not signed in";
      return;
    }
    gallery.Get(page, user, req, res, t_outcome);
  } else if (page == "error.asp") {
    AnswerPage(res, 200, LoginFailedPage(route->base));
  } else if (page == "refused.asp") {
    const std::string code = req.get_param_value("code");
    const Refusal refusal = RefusalFromCode(code).value_or(Refusal::kMalformed);
    AnswerPage(
        res, 200,
        RefusalPage(route->base, RefusalReason(refusal, options.maxFileSize, options.quota.value_or(0))));
    t_outcome = "code=" + std::string(RefusalCode(refusal));
  } else if (page == "logout2.asp") {
    Logout(req, res, *route);
  } else if (page == "insertfile.asp") {
    res.set_header("Allow", "POST");
    AnswerPage(res, 405, NotFoundPage(route->base));
  } else {
    AnswerPage(res, 404, NotFoundPage(route->base));
  }
}

void ParvaultServer::Impl::HandlePost(const httplib::Request& req, httplib::Response& res,
                                      const httplib::ContentReader& reader) {
  const auto route = ResolvePath(req.path);
  if (route && route->page == "logincheck2.asp") {
    Login(req, res, reader);
  } else if (route && route->page == "insertfile.asp") {
    Upload(req, res, reader, *route);
  } else if (route && GalleryRoutes::IsPostPage(route->page)) {
    gallery.Post(route->page, Session(req), req, res, reader, t_outcome);
  } else {
    AnswerPage(res, 404, NotFoundPage(route ? route->base : ""));
    if (HasBody(req)) CloseConnection(res, true);
  }
}

void ParvaultServer::Impl::Login(const httplib::Request& req, httplib::Response& res,
                                 const httplib::ContentReader& reader) {
  std::string body;
  bool complete = !HasBody(req);
  // cpp-httplib reads a multipart body only part by part; a login form is never one.
  if (!complete && !req.is_multipart_form_data()) {
    complete = reader([&](const char* data, std::size_t size) {
      body.append(data, size);
      return body.size() <= kMaxLoginBody;
    });
  }
  if (!complete) {
    CloseConnection(res);
    AnswerRedirect(res, "Error.ASP");
    t_outcome = "login refused: unreadable form";
    return;
  }
  const auto name = FindFormField(body, "username");
  const auto password = FindFormField(body, "password");
  // Only names of accounts are remembered by the brake: any other name is the client's invention.
  const Account* named = name ? accounts.FindByLoginName(*name) : nullptr;
  const std::string brakeAccount = named ? named->name : std::string();
  const auto wait = loginBrake.WaitFor(req.remote_addr, brakeAccount, LoginBrake::Clock::now());
  if (wait.count() > 0) {
    // Answered without checking the password, so that guessing gains nothing by going on.
    res.set_header("Retry-After", std::to_string((wait.count() + 999) / 1000));
    AnswerPage(res, 429, LoginFailedPage(""));
    t_outcome = "login held back user=" + LoggedName(name.value_or(""));
    return;
  }
  const Account* account = nullptr;
  if (name && password) {
    LoginBrake::HashSlot slot(loginBrake);
    account = accounts.Verify(*name, *password);
  }
  if (account == nullptr) {
    loginBrake.Failed(req.remote_addr, brakeAccount, LoginBrake::Clock::now());
    AnswerRedirect(res, "Error.ASP");
    t_outcome = "login failed user=" + LoggedName(name.value_or(""));
    return;
  }
  loginBrake.Succeeded(req.remote_addr, account->name);
  const std::string token = sessions.Open(account->name);
  res.set_header("Set-Cookie",
                 std::string(kSessionCookie) + "=" + token + "; Path=/; HttpOnly; SameSite=Lax");
  AnswerRedirect(res, "menu.asp");
  t_outcome = "signed in user=" + account->name;
}

void ParvaultServer::Impl::Upload(const httplib::Request& req, httplib::Response& res,
                                  const httplib::ContentReader& reader, const Route& route) {
  std::string account;
  if (const auto refusal = CheckUploadHeaders(req, account)) {
    Refuse(res, *refusal, account);
    CloseConnection(res, *refusal == Refusal::kNotSignedIn);
    return;
  }
  UploadReceiver receiver(store, account, options.maxFileSize, {}, RoomLeft(account));
  const bool complete = reader(
      [&](const httplib::MultipartFormData& part) { return receiver.BeginPart(part.name, part.filename); },
      [&](const char* data, std::size_t size) { return receiver.Append(data, size); });
  UploadOutcome outcome = receiver.Finish(complete);
  if (!complete) CloseConnection(res);
  if (outcome.refusal) {
    t_outcome = outcome.detail;
    Refuse(res, *outcome.refusal, account);
    return;
  }
  library.NotePublished(account, outcome.storedName);
  AnswerPage(res, 200, StoredPage(route.base, outcome.storedName));
  t_outcome = "user=" + account + " stored " + LogQuoted(outcome.storedName) + " (" +
              FormatThousands(static_cast<long long>(outcome.size)) + " bytes)";
}

void ParvaultServer::Impl::Logout(const httplib::Request& req, httplib::Response& res, const Route& route) {
  // The uploader sends its ID and password again in the query; the session is ended by its cookie
  // and the query is neither checked nor logged.
  const auto account = SessionAccount(req);
  const std::string cookies = req.get_header_value("Cookie");
  if (const auto token = FindCookie(cookies, kSessionCookie)) sessions.Close(*token);
  res.set_header("Set-Cookie", std::string(kSessionCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Lax");
  AnswerPage(res, 200, LoggedOutPage(route.base));
  t_outcome = account ? "signed out user=" + *account : "no session";
}

ParvaultServer::ParvaultServer(ParvaultServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

ParvaultServer::~ParvaultServer() { Stop(); }

bool ParvaultServer::Start(std::string& error) {
  Impl& s = *impl_;
  if (s.started) {
    error = "the server was already started";
    return false;
  }
  s.started = true;
  for (const auto& account : s.options.accounts) {
    if (!s.accounts.Add(account, error)) return false;
  }
  if (!s.store.Open(s.options.storage, error)) return false;
  for (const Account* account : s.accounts.all()) s.store.RemoveLeftovers(account->name);
  s.InstallHandlers();
  if (s.options.port == 0) {
    s.port = s.http.bind_to_any_port(s.options.host);
  } else if (s.http.bind_to_port(s.options.host, s.options.port)) {
    s.port = s.options.port;
  }
  if (s.port <= 0) {
    s.port = -1;
    error = "cannot listen on " +
            (s.options.host.find(':') != std::string::npos ? "[" + s.options.host + "]" : s.options.host) +
            ":" + std::to_string(s.options.port) + " (address in use or not available)";
    return false;
  }
  s.http.WidenBacklog(kListenBacklog);
  s.thread = std::thread([&s] {
    s.http.listen_after_bind();
    s.listenEnded = true;
  });
  // Stop() only works once the accept loop runs.
  while (!s.http.is_running() && !s.listenEnded) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void ParvaultServer::Stop() {
  Impl& s = *impl_;
  if (!s.thread.joinable()) return;
  s.http.StopWithinGrace();
  s.thread.join();
}

int ParvaultServer::port() const { return impl_->port; }

std::string ParvaultServer::address() const {
  const std::string& host = impl_->options.host;
  const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return shown + ":" + std::to_string(impl_->port);
}

}  // namespace wharfling::server
