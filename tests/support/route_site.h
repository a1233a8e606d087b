#pragma once
// A fake site written as data: a table of routes (method, path, whether the session is needed, the
// answer) and the walk its pages lead a run through. The base keeps the account it accepts, the
// session cookie, the uploads that arrived and named switches that turn on a site's failure cases,
// so each site is little more than its table.

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/fake_site.h"
#include "tests/support/multipart_form.h"

namespace wharfling::testing {

struct SiteAccount {
  std::string id = "alice";
  std::string password = "secret";
};

class RouteSite;
using Answer = std::function<Reply(RouteSite& site, const SiteRequest& request)>;

struct Route {
  Route(std::string method_, std::string path_, bool needsSession_, Answer answer_, std::string host_ = {})
      : method(std::move(method_)),
        path(std::move(path_)),
        needsSession(needsSession_),
        answer(std::move(answer_)),
        host(std::move(host_)) {}

  std::string method;  // "GET" or "POST"
  std::string path;    // the whole path, without the query
  bool needsSession;
  Answer answer;
  std::string host;  // the Host header's name (without port) the route answers; empty for any
};

// Answers that need no code: a page or a redirect, fixed.
Answer PageAnswer(std::string html, std::string extraHeaders = {});
Answer RedirectAnswer(std::string location);

class RouteSite : public FakeSite {
 public:
  struct Upload {
    std::string path;  // where it was posted
    std::vector<FormPart> parts;
    std::string fileName;  // of the file part
    std::string bytes;
    // The value of the named part, or empty.
    std::string Field(std::string_view name) const;
  };

  RouteSite(std::vector<std::string> hosts, SiteAccount account);
  ~RouteSite() override;

  // Failure cases by name; each site documents its own.
  void Switch(const std::string& name, bool on = true);
  bool On(std::string_view name) const;
  std::vector<Upload> Uploads() const;
  const SiteAccount& account() const { return account_; }

  // For answers: whether the request's decoded form fields (body, or query for a GET) carry the account.
  bool CarriesAccount(const SiteRequest& request, std::string_view idField,
                      std::string_view passwordField) const;
  // The reply with a fresh session cookie set; for a site on several hosts, domain names their
  // shared parent domain.
  Reply SignIn(Reply reply, std::string_view domain = {});
  // Records the multipart upload of the request; the file part is the one with a file name.
  Upload Receive(const SiteRequest& request);
  std::size_t UploadCount() const;
  SiteWalk Walk() const override { return walk_; }

  static Reply PageReply(std::string_view html, std::string_view extraHeaders = {}) {
    return Page(html, extraHeaders);
  }
  static Reply RedirectReply(std::string_view location, std::string_view extraHeaders = {}) {
    return Redirect(location, extraHeaders);
  }

 protected:
  // Sets the table and starts the servers; derived sites call it at the end of their constructor.
  void Serve(std::vector<Route> routes);
  // Sets the walk the site's pages lead a run through; derived sites call it before Serve.
  void SetWalk(SiteWalk walk) { walk_ = std::move(walk); }
  Reply Handle(const SiteRequest& request) override;

 private:
  bool HasSession(const SiteRequest& request) const;

  const SiteAccount account_;
  SiteWalk walk_;
  std::vector<Route> routes_;
  mutable std::mutex mutex_;
  std::set<std::string, std::less<>> switches_;
  std::vector<std::string> sessions_;
  std::vector<Upload> uploads_;
};

}  // namespace wharfling::testing
