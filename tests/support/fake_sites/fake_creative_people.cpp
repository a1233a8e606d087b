#include "server/engine/form_decoding.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

const std::string kHttp = "http://photo.creativepeople.example";
const std::string kHttps = "https://photo.creativepeople.example";

std::string Query(const SiteRequest& request, std::string_view name) {
  return std::string(server::FindFormField(request.Query(), name).value_or(""));
}

// Over http the login page sends the browser to its https address (unless "no-https-redirect").
Reply LoginInput(RouteSite& site, const SiteRequest& request) {
  if (!request.secure && !site.On("no-https-redirect"))
    return RouteSite::RedirectReply(kHttps + "/login_input.cr");
  return RouteSite::PageReply("<form action=\"/login.cr\" method=\"post\"></form>");
}

// The upload form of the next photo: its target carries a key for that photo only. With
// "second-form-broken" the second form lacks its onsubmit attribute.
Reply UploadForm(RouteSite& site, const SiteRequest& request) {
  if (Query(request, "owner") != "OWN7") return RouteSite::PageReply("<p>no such owner</p>");
  const std::size_t n = site.UploadCount() + 1;
  const std::string onsubmit = site.On("second-form-broken") && n == 2 ? "" : "onsubmit=\"return true;\" ";
  return RouteSite::PageReply("<form method=\"post\" enctype=\"multipart/form-data\" " + onsubmit +
                              "action=\"/fileUploadDone.cr?key=K" + std::to_string(n) + "\"></form>");
}

Reply ReceivePhoto(RouteSite& site, const SiteRequest& request) {
  const auto upload = site.Receive(request);
  if (Query(request, "key") != "K" + std::to_string(site.UploadCount()) || upload.Field("priv") != "3" ||
      upload.bytes.empty()) {
    return RouteSite::PageReply("<span class=\"errorMessage\">The upload form has expired.</span>");
  }
  return RouteSite::PageReply("<p>Your photo was uploaded.</p>");
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakeCreativePeople(const SiteAccount& account) {
  class FakeCreativePeople : public RouteSite {
   public:
    explicit FakeCreativePeople(const SiteAccount& account)
        : RouteSite({"photo.creativepeople.example"}, account) {
      // The plain login page sends the browser to its https twin.
      SetWalk({.start = {"GET /login_input.cr", "GET /login_input.cr", "POST /login.cr", "GET /login_done.cr",
                         "GET /mypage.cr"},
               .photo = {"GET /fileUpload.cr?owner=OWN7", "POST /fileUploadDone.cr?key=K{n}"}});
      Serve({
          {"GET", "/login_input.cr", false, LoginInput},
          {"POST", "/login.cr", false,
           [](RouteSite& site, const SiteRequest& request) {
             if (!request.secure || !site.CarriesAccount(request, "loginName", "password")) {
               return PageReply("<span class=\"errorMessage\">Wrong login name or password.</span>");
             }
             return site.SignIn(RedirectReply(kHttps + "/login_done.cr"));
           }},
          {"GET", "/login_done.cr", true, RedirectAnswer(kHttp + "/mypage.cr")},
          {"GET", "/mypage.cr", true, PageAnswer("<a href=\"fileUpload.cr?owner=OWN7\">upload</a>")},
          {"GET", "/fileUpload.cr", true, UploadForm},
          {"POST", "/fileUploadDone.cr", true, ReceivePhoto},
      });
    }
  };
  return std::make_unique<FakeCreativePeople>(account);
}

}  // namespace wharfling::testing
