#include "tests/support/route_site.h"

#include <algorithm>

#include "server/engine/form_decoding.h"

namespace wharfling::testing {
namespace {

constexpr std::string_view kSessionCookie = "FAKESESSION";

}  // namespace

Answer PageAnswer(std::string html, std::string extraHeaders) {
  return [html = std::move(html), extra = std::move(extraHeaders)](RouteSite&, const SiteRequest&) {
    return RouteSite::PageReply(html, extra);
  };
}

Answer RedirectAnswer(std::string location) {
  return [location = std::move(location)](RouteSite&, const SiteRequest&) {
    return RouteSite::RedirectReply(location);
  };
}

std::string RouteSite::Upload::Field(std::string_view name) const {
  for (const auto& part : parts) {
    if (part.name == name) return part.value;
  }
  return {};
}

RouteSite::RouteSite(std::vector<std::string> hosts, SiteAccount account)
    : FakeSite(std::move(hosts)), account_(std::move(account)) {}

RouteSite::~RouteSite() = default;

void RouteSite::Serve(std::vector<Route> routes) {
  routes_ = std::move(routes);
  Start();
}

void RouteSite::Switch(const std::string& name, bool on) {
  std::lock_guard lock(mutex_);
  if (on) {
    switches_.insert(name);
  } else {
    switches_.erase(name);
  }
}

bool RouteSite::On(std::string_view name) const {
  std::lock_guard lock(mutex_);
  return switches_.find(name) != switches_.end();
}

std::vector<RouteSite::Upload> RouteSite::Uploads() const {
  std::lock_guard lock(mutex_);
  return uploads_;
}

std::size_t RouteSite::UploadCount() const {
  std::lock_guard lock(mutex_);
  return uploads_.size();
}

bool RouteSite::CarriesAccount(const SiteRequest& request, std::string_view idField,
                               std::string_view passwordField) const {
  const std::string fields = request.http.method == "GET" ? request.Query() : request.http.body;
  return server::FindFormField(fields, idField) == account_.id &&
         server::FindFormField(fields, passwordField) == account_.password;
}

Reply RouteSite::SignIn(Reply reply, std::string_view domain) {
  std::string token;
  {
    std::lock_guard lock(mutex_);
    token = "s" + std::to_string(sessions_.size() + 1);
    sessions_.push_back(token);
  }
  // The cookie goes in right after the status line.
  const auto lineEnd = reply.raw.find("\r\n") + 2;
  const std::string scope = domain.empty() ? "" : "; domain=" + std::string(domain);
  reply.raw.insert(lineEnd,
                   "Set-Cookie: " + std::string(kSessionCookie) + "=" + token + "; path=/" + scope + "\r\n");
  return reply;
}

RouteSite::Upload RouteSite::Receive(const SiteRequest& request) {
  Upload upload{request.Path(), ParseMultipart(request.http.body), {}, {}};
  for (const auto& part : upload.parts) {
    if (part.fileName) {
      upload.fileName = *part.fileName;
      upload.bytes = part.value;
    }
  }
  std::lock_guard lock(mutex_);
  uploads_.push_back(upload);
  return upload;
}

bool RouteSite::HasSession(const SiteRequest& request) const {
  const std::string token = request.Cookie(kSessionCookie);
  std::lock_guard lock(mutex_);
  return !token.empty() && std::find(sessions_.begin(), sessions_.end(), token) != sessions_.end();
}

Reply RouteSite::Handle(const SiteRequest& request) {
  const std::string path = request.Path();
  for (const auto& route : routes_) {
    if (route.method != request.http.method || route.path != path) continue;
    const std::string host = request.http.Header("Host");
    if (!route.host.empty() && host.substr(0, host.find(':')) != route.host) continue;
    if (route.needsSession && !HasSession(request)) {
      return Reply::Make("HTTP/1.1 403 Forbidden", "", "<html><body>Please sign in.</body></html>");
    }
    return route.answer(*this, request);
  }
  return Reply::Make("HTTP/1.1 404 Not Found", "", "<html><body>Not found.</body></html>");
}

}  // namespace wharfling::testing
