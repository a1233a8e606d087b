#include "tests/support/fake_site.h"

#include "server/engine/form_decoding.h"

#include <thread>

namespace wharfling::testing {

std::string SiteRequest::Path() const { return http.target.substr(0, http.target.find('?')); }

std::string SiteRequest::Query() const {
  const auto mark = http.target.find('?');
  return mark == std::string::npos ? std::string() : http.target.substr(mark + 1);
}

std::string SiteRequest::Cookie(std::string_view name) const {
  return std::string(server::FindCookie(http.Header("Cookie"), name).value_or(""));
}

FakeSite::FakeSite(std::vector<std::string> hosts) : hosts_(std::move(hosts)) {
  std::vector<std::string> names;
  for (const auto& host : hosts_) names.push_back(host.substr(0, host.find(':')));
  ca_ = std::make_unique<TestCa>(names);
}

FakeSite::~FakeSite() {
  // Stop the servers before the derived part of the object is gone.
  plain_.reset();
  tls_.reset();
}

void FakeSite::Start() {
  plain_ = std::make_unique<LoopbackServer>([this](const RecordedRequest& r) { return Dispatch(r, false); });
  tls_ = std::make_unique<LoopbackServer>([this](const RecordedRequest& r) { return Dispatch(r, true); },
                                          TlsIdentity{ca_->serverCertPem(), ca_->serverKeyPem()});
  plain_->SetEarlyHandler([this](const RecordedRequest& head) { return AnswerEarly(head, false); });
  tls_->SetEarlyHandler([this](const RecordedRequest& head) { return AnswerEarly(head, true); });
}

std::string FakeSite::ConnectTo() const {
  std::string entries;
  const auto add = [&](const std::string& name, const std::string& port, std::uint16_t to) {
    if (!entries.empty()) entries += ",";
    entries += name + ":" + port + ":127.0.0.1:" + std::to_string(to);
  };
  for (const auto& host : hosts_) {
    const auto colon = host.find(':');
    if (colon == std::string::npos) {
      add(host, "80", plain_->port());
      add(host, "443", tls_->port());
    } else {
      add(host.substr(0, colon), host.substr(colon + 1), plain_->port());
    }
  }
  return entries;
}

posix::CurlTransportOptions FakeSite::TransportOptions() const {
  posix::CurlTransportOptions options;
  options.caFile = CaFile();
  options.connectTo = ConnectTo();
  options.ownCookieStore = true;
  options.environment = [](const char*) -> std::optional<std::string> { return std::nullopt; };
  return options;
}

void FakeSite::InjectFault(const std::string& pathSuffix, SiteFault fault) {
  std::lock_guard lock(mutex_);
  faults_.emplace(pathSuffix, fault);
}

std::vector<SiteRequest> FakeSite::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::string> FakeSite::RequestLines() const {
  std::vector<std::string> lines;
  for (const auto& request : Requests()) lines.push_back(request.http.method + " " + request.http.target);
  return lines;
}

Reply FakeSite::Redirect(std::string_view location, std::string_view extraHeaders) {
  return Reply::Make("HTTP/1.1 302 Object moved",
                     "Location: " + std::string(location) + "\r\n" + std::string(extraHeaders),
                     "<html><body>Object moved</body></html>");
}

Reply FakeSite::Page(std::string_view html, std::string_view extraHeaders) {
  return Reply::Make("HTTP/1.1 200 OK",
                     "Content-Type: text/html; charset=Shift_JIS\r\n" + std::string(extraHeaders), html);
}

SiteFault FakeSite::TakeFault(const std::string& line, bool early) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if ((it->second == SiteFault::kAnswerEarlyAndReset) != early) continue;
    if (line.size() >= it->first.size() &&
        line.compare(line.size() - it->first.size(), it->first.size(), it->first) == 0) {
      const SiteFault fault = it->second;
      faults_.erase(it);
      return fault;
    }
  }
  return SiteFault::kNone;
}

std::optional<Reply> FakeSite::AnswerEarly(const RecordedRequest& head, bool secure) {
  SiteRequest siteRequest{head, secure};
  const std::string line = head.method + " " + siteRequest.Path();
  std::optional<std::pair<SiteRequest, Reply>> previous;
  {
    std::lock_guard lock(mutex_);
    if (TakeFault(line, true) == SiteFault::kNone) return std::nullopt;
    requests_.push_back(siteRequest);
    if (const auto found = lastExchanges_.find(line); found != lastExchanges_.end()) previous = found->second;
  }
  if (!previous) return Page("<html>stored</html>");
  Handle(previous->first);
  return previous->second;
}

Reply FakeSite::Dispatch(const RecordedRequest& request, bool secure) {
  SiteRequest siteRequest{request, secure};
  const std::string line = request.method + " " + siteRequest.Path();
  SiteFault fault = SiteFault::kNone;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(siteRequest);
    fault = TakeFault(line, false);
  }
  switch (fault) {
    case SiteFault::kDropConnection:
      return Reply::CloseWithoutReply();
    case SiteFault::kServerError:
      return Reply::Make("HTTP/1.1 500 Internal Server Error", "", "error");
    case SiteFault::kEmptyReply:
      return Reply::Make("HTTP/1.1 200 OK", "", "");
    case SiteFault::kSlowReply:
    case SiteFault::kStuckReply: {
      Reply reply = Handle(siteRequest);
      reply.fault = Reply::Fault::kDelayBeforeReply;
      reply.delay = std::chrono::milliseconds(fault == SiteFault::kSlowReply ? 300 : 60'000);
      return reply;
    }
    case SiteFault::kNone:
    case SiteFault::kAnswerEarlyAndReset:
      break;
  }
  Reply reply = Handle(siteRequest);
  std::lock_guard lock(mutex_);
  lastExchanges_.insert_or_assign(line, std::pair(siteRequest, reply));
  return reply;
}

}  // namespace wharfling::testing
