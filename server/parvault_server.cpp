#include "server/parvault_server.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <optional>

#include "platform/posix/encoding.h"
#include "server/accounts/csrf_tokens.h"
#include "server/accounts/hash_slots.h"
#include "server/engine/form_decoding.h"
#include "server/engine/http_engine.h"
#include "server/engine/listen_socket.h"
#include "server/engine/request_bodies.h"
#include "server/engine/request_log.h"
#include "server/library/browser_upload.h"
#include "server/library/refusals.h"
#include "server/library/upload_receiver.h"
#include "server/library/upload_store.h"
#include "server/pages/gallery_routes.h"
#include "server/pages/pages.h"
#include "server/pages/response_headers.h"
#include "server/state/wall_clock.h"
#include "text/text.h"

namespace wharfling::server {
namespace {

constexpr std::size_t kMaxLoginBody = 8192;
constexpr std::size_t kMaxLoggedNameBytes = 64;

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

// A browser tells where a form came from; the uploader sends no Origin. Anything but this site
// itself (also "null", a sandboxed or local page) is another site.
bool FromAnotherSite(const HttpRequest& req) {
  if (!req.HasHeader("Origin")) return false;
  const std::string origin = req.Header("Origin");
  for (std::string_view scheme : {"http://", "https://"}) {
    if (origin.starts_with(scheme))
      return !EqualsIgnoreCase(origin.substr(scheme.size()), req.Header("Host"));
  }
  return true;
}

// A declared body past the cap is answered with a page before any of it is read.
bool DeclaredPast(const HttpRequest& req, std::uint64_t cap) {
  if (!req.HasHeader("Content-Length")) return false;
  const std::string text = req.Header("Content-Length");
  std::uint64_t length = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), length);
  return ec == std::errc() && end == text.data() + text.size() && length > cap;
}

bool IsLoginPage(std::string_view page) {
  return page.empty() || page == "index.htm" || page == "index.html" || page == "default.asp" ||
         page == "login.asp" || page == "logincheck2.asp";
}

std::string LoggedName(std::string_view cp932Name) {
  return LogField(posix::Cp932ToUtf8(cp932Name.substr(0, kMaxLoggedNameBytes)));
}

void AnswerPage(HttpResponse& res, int status, const std::string& html) {
  res.status = status;
  res.SetContent(html, kHtmlContentType);
}

// A redirect to a page of the site, given by its name only: the uploader appends it to its site
// URL and a "/".
void AnswerRedirect(HttpResponse& res, const std::string& location) {
  res.status = 302;
  res.SetHeader("Location", location);
  const std::string link = EscapeHtml(location);
  res.SetContent("<html><body><a href=\"" + link + "\">" + link + "</a></body></html>\n", kHtmlContentType);
}

}  // namespace

struct ParvaultServer::Impl final : HttpHandler {
  explicit Impl(ParvaultServerOptions o) : options(std::move(o)), http(options.limits, *this) {}

  void Log(const std::string& line) {
    if (options.log) {
      options.log(line);
      return;
    }
    std::lock_guard lock(logMutex);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  }

  std::unique_ptr<RequestBody> Begin(Exchange& ex) override;
  void Completed(const Exchange& ex) override;

  std::optional<SignedIn> Session(const HttpRequest& req);
  std::uint64_t BodyCap(const HttpRequest& req, const std::optional<Route>& route) const;
  std::optional<Refusal> CheckUploadHeaders(const HttpRequest& req, std::string& account);
  void Refuse(Exchange& ex, Refusal refusal, const std::string& account);
  void HandleGet(Exchange& ex, const std::optional<Route>& route);
  std::unique_ptr<RequestBody> HandlePost(Exchange& ex, const std::optional<Route>& route);
  std::unique_ptr<RequestBody> Login(Exchange& ex);
  void CheckLogin(Exchange& ex, const std::optional<std::string>& body);
  std::unique_ptr<RequestBody> Upload(Exchange& ex, const Route& route);
  void Logout(Exchange& ex, const Route& route);
  std::unique_ptr<RequestBody> BrowserLogout(Exchange& ex, const Route& route);
  std::string SessionCookie(const std::string& value, bool ending) const;

  ParvaultServerOptions options;
  AccountTable accounts;
  std::unique_ptr<state::LibraryState> state;
  // Bounds the password hashing under way in this process.
  HashSlots hashing;
  UploadStore store;
  std::optional<CsrfTokens> csrf;
  std::optional<GalleryRoutes> gallery;
  TlsCertificate certificate;
  HttpEngine http;
  bool started = false;
  std::mutex logMutex;
};

std::optional<SignedIn> ParvaultServer::Impl::Session(const HttpRequest& req) {
  const std::string cookies = req.Header("Cookie");
  const auto token = FindCookie(cookies, kSessionCookie);
  if (!token) return std::nullopt;
  std::string account;
  if (state->FindSession(*token, state::NowMs(), account) != state::Outcome::kDone) return std::nullopt;
  if (accounts.Find(account) == nullptr) return std::nullopt;
  return SignedIn{std::move(account), std::string(*token)};
}

// Every raw byte of a request counts: bytes after a multipart body's closing line too. Room is
// left above the receiver's own limit so that an upload that is too large still gets its refusal.
std::uint64_t ParvaultServer::Impl::BodyCap(const HttpRequest& req, const std::optional<Route>& route) const {
  const bool browserForm = req.method == "POST" && route && GalleryRoutes::IsPostPage(route->page);
  return browserForm ? gallery->BodyCap(route->page) + kEnvelopeAllowance
                     : options.maxFileSize + 2 * kEnvelopeAllowance;
}

// What can be refused from the request's head alone, before any of the body is read.
std::optional<Refusal> ParvaultServer::Impl::CheckUploadHeaders(const HttpRequest& req,
                                                                std::string& account) {
  auto signedIn = Session(req);
  if (!signedIn) return Refusal::kNotSignedIn;
  account = std::move(signedIn->account);
  if (!MultipartBoundary(req.Header("Content-Type"))) return Refusal::kMalformed;
  if (req.HasHeader("Content-Length")) {
    const std::string text = req.Header("Content-Length");
    std::uint64_t length = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (ec != std::errc() || end != text.data() + text.size()) return Refusal::kMalformed;
    if (length > options.maxFileSize + kEnvelopeAllowance) return Refusal::kTooLarge;
  } else if (!req.HasHeader("Transfer-Encoding")) {
    return Refusal::kNoFile;  // no body at all
  }
  return std::nullopt;
}

void ParvaultServer::Impl::Refuse(Exchange& ex, Refusal refusal, const std::string& account) {
  AnswerRedirect(ex.response, RefusalLocation(refusal));
  ex.outcome = (account.empty() ? std::string() : "user=" + account + " ") + "refused " +
               std::string(RefusalCode(refusal)) + (ex.outcome.empty() ? "" : " (" + ex.outcome + ")");
}

std::string ParvaultServer::Impl::SessionCookie(const std::string& value, bool ending) const {
  return std::string(kSessionCookie) + "=" + value + "; Path=/; " + (ending ? "Max-Age=0; " : "") +
         "HttpOnly; " + (certificate.loaded() ? "Secure; " : "") + "SameSite=Lax";
}

std::unique_ptr<RequestBody> ParvaultServer::Impl::Begin(Exchange& ex) {
  const HttpRequest& req = ex.request;
  HttpResponse& res = ex.response;
  for (const auto& [name, value] : SecurityHeaders()) res.SetHeader(name, value);
  const auto route = ResolvePath(req.path);
  ex.bodyCap = std::min(ex.bodyCap, BodyCap(req, route));
  // An encoded body would be unpacked before any limit could count it, and a small one can grow
  // huge: such a request is answered before its body is read.
  const std::string encoding = req.Header("Content-Encoding");
  if (!encoding.empty() && !EqualsIgnoreCase(encoding, "identity")) {
    AnswerPage(res, 415, NotFoundPage(""));
    res.drainBriefly = true;
    ex.outcome = "refused an encoded body";
    return nullptr;
  }
  if (req.method == "GET" || req.method == "HEAD") {
    res.drainBriefly = true;  // a body nobody reads
    HandleGet(ex, route);
    return nullptr;
  }
  if (req.method == "POST") return HandlePost(ex, route);
  res.SetHeader("Allow", "GET, HEAD, POST");
  AnswerPage(res, 405, NotFoundPage(""));
  return nullptr;
}

void ParvaultServer::Impl::Completed(const Exchange& ex) {
  const std::string& address = ex.request.clientAddress;
  const std::string client = address.find(':') == std::string::npos ? address : "[" + address + "]";
  // Behind the proxy the port is the proxy's, of no use in finding the client.
  Log(RequestLogLine(std::chrono::system_clock::now(),
                     ex.request.forwarded ? client : client + ":" + std::to_string(ex.request.clientPort),
                     ex.request.method, ex.request.path, ex.response.status, ex.outcome));
}

void ParvaultServer::Impl::HandleGet(Exchange& ex, const std::optional<Route>& route) {
  const HttpRequest& req = ex.request;
  HttpResponse& res = ex.response;
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
      ex.outcome = "not signed in";
      return;
    }
    gallery->Get(page, user, ex);
  } else if (page == "error.asp") {
    AnswerPage(res, 200, LoginFailedPage(route->base));
  } else if (page == "refused.asp") {
    const Refusal refusal = RefusalFromCode(req.Param("code")).value_or(Refusal::kMalformed);
    AnswerPage(
        res, 200,
        RefusalPage(route->base, RefusalReason(refusal, options.maxFileSize, options.quota.value_or(0))));
    ex.outcome = "code=" + std::string(RefusalCode(refusal));
  } else if (page == "logout2.asp") {
    Logout(ex, *route);
  } else if (page == "insertfile.asp") {
    res.SetHeader("Allow", "POST");
    AnswerPage(res, 405, NotFoundPage(route->base));
  } else {
    AnswerPage(res, 404, NotFoundPage(route->base));
  }
}

std::unique_ptr<RequestBody> ParvaultServer::Impl::HandlePost(Exchange& ex,
                                                              const std::optional<Route>& route) {
  if (FromAnotherSite(ex.request)) {
    AnswerPage(
        ex.response, 403,
        NoticePage(route ? route->base : "", "This form came from another site and was not accepted."));
    ex.response.drainBriefly = true;
    ex.outcome = "refused a form from another site (Origin " + LogField(ex.request.Header("Origin")) + ")";
    return nullptr;
  }
  if (route && route->page == "logincheck2.asp") return Login(ex);
  if (route && route->page == "logout2.asp") return BrowserLogout(ex, *route);
  if (route && route->page == "insertfile.asp") return Upload(ex, *route);
  if (route && GalleryRoutes::IsPostPage(route->page)) {
    if (DeclaredPast(ex.request, BodyCap(ex.request, route))) {
      AnswerPage(
          ex.response, 413,
          NoticePage(route->base, "That upload is larger than the server takes: up to " +
                                      std::to_string(kMaxBrowserFiles) + " photos at once, each up to " +
                                      FormatThousands(static_cast<long long>(options.maxFileSize)) +
                                      " bytes. Please send fewer or smaller photos."));
      ex.response.drainBriefly = true;
      ex.outcome = "refused a form larger than the server takes";
      return nullptr;
    }
    return gallery->Post(route->page, Session(ex.request), ex);
  }
  AnswerPage(ex.response, 404, NotFoundPage(route ? route->base : ""));
  ex.response.drainBriefly = true;
  return nullptr;
}

std::unique_ptr<RequestBody> ParvaultServer::Impl::Login(Exchange& ex) {
  if (!ex.request.HasBody()) {
    CheckLogin(ex, std::string());
    return nullptr;
  }
  // A login form is never multipart.
  if (ex.request.IsMultipart()) {
    CheckLogin(ex, std::nullopt);
    return nullptr;
  }
  return std::make_unique<SmallBody>(kMaxLoginBody,
                                     [this, &ex](std::optional<std::string> body) { CheckLogin(ex, body); });
}

void ParvaultServer::Impl::CheckLogin(Exchange& ex, const std::optional<std::string>& body) {
  HttpResponse& res = ex.response;
  if (!body) {
    AnswerRedirect(res, "Error.ASP");
    ex.outcome = "login refused: unreadable form";
    return;
  }
  const std::string& address = ex.request.clientAddress;
  const auto name = FindFormField(*body, "username");
  const auto password = FindFormField(*body, "password");
  // Only names of accounts are remembered by the brake: any other name is the client's invention.
  const Account* named = name ? accounts.FindByLoginName(*name) : nullptr;
  const std::string brakeAccount = named ? named->name : std::string();
  // Counted before the password is checked, so that guesses sent together are braked together.
  state::GuessVerdict verdict;
  if (state->CountGuess(address, brakeAccount, state::NowMs(), verdict) != state::Outcome::kDone) {
    AnswerPage(res, 503, LoginFailedPage(""));
    ex.outcome = "login not checked: the brake's counts cannot be kept";
    return;
  }
  if (!verdict.mayCheck) {
    // Answered without checking the password, so that guessing gains nothing by going on.
    res.SetHeader("Retry-After", std::to_string((verdict.wait.count() + 999) / 1000));
    AnswerPage(res, 429, LoginFailedPage(""));
    ex.outcome = "login held back user=" + LoggedName(name.value_or(""));
    return;
  }
  const Account* account = nullptr;
  if (name && password) {
    HashSlots::Slot slot(hashing);
    account = accounts.Verify(*name, *password);
  }
  if (account == nullptr) {
    AnswerRedirect(res, "Error.ASP");
    ex.outcome = "login failed user=" + LoggedName(name.value_or(""));
    return;
  }
  state->ClearGuesses(address, account->name);
  std::string token;
  if (state->OpenSession(account->name, state::NowMs(), token) != state::Outcome::kDone) {
    AnswerRedirect(res, "Error.ASP");
    ex.outcome = "login refused user=" + account->name + ": the session cannot be kept";
    return;
  }
  res.SetHeader("Set-Cookie", SessionCookie(token, false));
  AnswerRedirect(res, "menu.asp");
  ex.outcome = "signed in user=" + account->name;
}

std::unique_ptr<RequestBody> ParvaultServer::Impl::Upload(Exchange& ex, const Route& route) {
  std::string account;
  if (const auto refusal = CheckUploadHeaders(ex.request, account)) {
    Refuse(ex, *refusal, account);
    ex.response.drainBriefly = *refusal == Refusal::kNotSignedIn;
    return nullptr;
  }
  auto receiver = std::make_shared<UploadReceiver>(store, account, options.maxFileSize, FileField{},
                                                   state.get(), options.quota);
  const std::string base = route.base;
  return std::make_unique<MultipartBody>(
      *MultipartBoundary(ex.request.Header("Content-Type")),
      [receiver](std::string_view name, std::string_view fileName) {
        return receiver->BeginPart(name, fileName);
      },
      [receiver](const char* data, std::size_t size) { return receiver->Append(data, size); },
      [this, &ex, receiver, account, base](bool complete) {
        UploadOutcome outcome = receiver->Finish(complete);
        if (outcome.refusal) {
          ex.outcome = outcome.detail;
          Refuse(ex, *outcome.refusal, account);
          return;
        }
        AnswerPage(ex.response, 200, StoredPage(base, outcome.storedName));
        ex.outcome = "user=" + account + " stored " + LogQuoted(outcome.storedName) + " (" +
                     FormatThousands(static_cast<long long>(outcome.size)) + " bytes)";
      });
}

void ParvaultServer::Impl::Logout(Exchange& ex, const Route& route) {
  // The uploader sends its ID and password again in the query; the session is ended by its cookie
  // and the query is neither checked nor logged.
  const auto user = Session(ex.request);
  const std::string cookies = ex.request.Header("Cookie");
  if (const auto token = FindCookie(cookies, kSessionCookie)) state->CloseSession(*token);
  ex.response.SetHeader("Set-Cookie", SessionCookie("", true));
  AnswerPage(ex.response, 200, LoggedOutPage(route.base));
  ex.outcome = user ? "signed out user=" + user->account : "no session";
}

// The browser's sign-out: a POST with the session's form token, so that no other site can sign
// anybody out.
std::unique_ptr<RequestBody> ParvaultServer::Impl::BrowserLogout(Exchange& ex, const Route& route) {
  const std::string base = route.base;
  return std::make_unique<SmallBody>(kMaxLoginBody, [this, &ex, base](std::optional<std::string> body) {
    const auto user = Session(ex.request);
    const std::string given = body ? FindFormField(*body, "csrf").value_or("") : std::string();
    if (!user || !csrf->Matches(user->sessionToken, given)) {
      AnswerPage(ex.response, 403,
                 NoticePage(base, "This sign-out form has expired. Please reload the page."));
      ex.outcome = "sign-out refused: no session or no form token";
      return;
    }
    state->CloseSession(user->sessionToken);
    ex.response.SetHeader("Set-Cookie", SessionCookie("", true));
    AnswerPage(ex.response, 200, LoggedOutPage(base));
    ex.outcome = "signed out user=" + user->account;
  });
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
  const bool tls = !s.options.tlsCertFile.empty() || !s.options.tlsKeyFile.empty();
  if (tls && !s.certificate.Load(s.options.tlsCertFile, s.options.tlsKeyFile, error)) return false;
  if (!s.store.Open(s.options.storage, error)) return false;
  const StateLog log = [&s](const std::string& line) { s.Log(line); };
  s.state = s.options.openState ? s.options.openState(s.store.root(), log, error)
                                : OpenSqliteStateIn(s.store.root(), log, error);
  if (!s.state) return false;
  std::vector<std::string> names;
  for (const Account* account : s.accounts.all()) {
    s.store.RemoveLeftovers(account->name);
    names.push_back(account->name);
  }
  if (!ReconcileWithFolders(*s.state, s.store, names, log, error)) return false;
  std::string key;
  if (s.state->CsrfKey(key) != state::Outcome::kDone) {
    error = "cannot read or keep the key of the forms' tokens";
    return false;
  }
  s.csrf.emplace(std::move(key));
  s.gallery.emplace(*s.state, s.store, *s.csrf,
                    GallerySettings{s.options.maxFileSize, s.options.quota, s.options.photosPerPage,
                                    s.options.thumbnailWait});
  return s.http.Start(s.options.host, s.options.port, tls ? &s.certificate : nullptr, error);
}

void ParvaultServer::Stop() {
  impl_->http.Stop([this] {
    if (impl_->gallery) impl_->gallery->CancelThumbnails();
  });
}

bool ParvaultServer::ReloadCertificate(std::string& error) {
  Impl& s = *impl_;
  if (!s.certificate.loaded()) {
    error = "the server runs without TLS";
    return false;
  }
  return s.certificate.Load(s.options.tlsCertFile, s.options.tlsKeyFile, error);
}

bool ParvaultServer::secure() const { return impl_->certificate.loaded(); }

int ParvaultServer::port() const { return impl_->http.port(); }

std::string ParvaultServer::address() const { return HostAndPort(impl_->options.host, impl_->http.port()); }

}  // namespace wharfling::server
