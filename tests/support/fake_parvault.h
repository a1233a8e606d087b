#pragma once
// A fake Parvault site: login page, both login forms, uploads answered as the test scripts, refusal
// pages with their reason after the -msg"> marker, and the logout page.

#include <functional>
#include <optional>
#include <string>

#include "tests/support/fake_site.h"
#include "tests/support/multipart_form.h"

namespace wharfling::testing {

class FakeParvault final : public FakeSite {
 public:
  struct Upload {
    std::string fileName;  // as sent in the file part
    std::string bytes;
    std::vector<std::string> fieldNames;  // every part's name, in order
  };
  struct Answer {
    // kNotOkSaying200Ok: a 500 whose header lines hold "200 OK" elsewhere than in the status line.
    // kDrip: "200 OK", then the page a byte every half second, without end.
    enum Kind {
      kAccept,
      kRefuseWithReason,
      kRefuseWithoutReason,
      kNotOk,
      kNotOkSaying200Ok,
      kDrip
    } kind = kAccept;
    std::string reason;  // CP932, for kRefuseWithReason
  };
  using UploadScript = std::function<Answer(const Upload&)>;

  // host: "name" or "name:port"; basePath: "" for a server at the root, or a folder such as "/ParvaultAsp2".
  FakeParvault(std::string host, std::string basePath);
  ~FakeParvault() override;

  void SetAccount(std::string user, std::string password);
  // The Location of a successful login (relative to the base); of a failed one, or none at all.
  void SetLoginLocations(std::string onSuccess, std::optional<std::string> onFailure);
  void ScriptUploads(UploadScript script);

  std::vector<Upload> Uploads() const;
  // 1 for the service's form, 2 for the in-house server's, 0 for neither; per login post, in order.
  std::vector<int> LoginForms() const;
  // The login page, the login post and the page it sends the member to, one post per photo, and the
  // sign-out link that carries the account (as the site has it, for texts that need no escaping).
  SiteWalk Walk() const override;

 protected:
  Reply Handle(const SiteRequest& request) override;

 private:
  Reply Login(const SiteRequest& request);
  Reply InsertFile(const SiteRequest& request);

  const std::string basePath_;
  mutable std::mutex mutex_;
  std::string user_ = "alice";
  std::string password_ = "secret";
  std::string successLocation_ = "menu.asp";
  std::optional<std::string> failureLocation_ = "Error.ASP";
  UploadScript script_;
  std::vector<Upload> uploads_;
  std::vector<int> loginForms_;
  std::vector<std::string> sessions_;
  std::vector<std::optional<std::string>> refusals_;  // reason per refusal page, none: no marker
};

}  // namespace wharfling::testing
