#include "server/engine/form_decoding.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

constexpr const char* kLoginHost = "secure.picmate.example";
constexpr const char* kMainHost = "www.picmate.example";
constexpr const char* kUploadHost = "upload.picmate.example";
// The script's token comes with line breaks, inside and after it.
constexpr const char* kLoginToken = "L7f\r\n3a\r\n";

// The session cookie of a sign-in, for every host of the service.
Reply ServiceWide(Reply reply) {
  const std::string path = "; path=/";
  reply.raw.replace(reply.raw.find(path), path.size(), "; domain=picmate.example; path=/");
  return reply;
}

class FakePicMate : public RouteSite {
 public:
  explicit FakePicMate(const SiteAccount& account)
      : RouteSite({kLoginHost, kMainHost, kUploadHost}, account) {
    // The page script numbers its token requests: 1413 at the sign-in, from 1538 up by 2 per photo.
    SetWalk({.start = {"GET /login/", "GET /util_ajax/token/?1413", "POST /util_ajax/ajax_check_login/",
                       "POST /login/?command=done", "GET /mypage/"},
             .photo = {"GET /u8f2a/upload/", "GET /util_ajax/token/?{n}", "POST /upload"},
             .firstNumber = 1538,
             .numberStep = 2});
    Serve({
        {"GET", "/login/", false, PageAnswer("<form action=\"/login/?command=done\"></form>"), kLoginHost},
        {"GET", "/util_ajax/token/", false,
         [this](RouteSite&, const SiteRequest&) { return PageReply(Issue(pendingLogin_, kLoginToken)); },
         kLoginHost},
        {"POST", "/util_ajax/ajax_check_login/", false,
         [](RouteSite& site, const SiteRequest& request) {
           return PageReply(site.CarriesAccount(request, "email", "passwd") ? "OK" : "NG");
         },
         kLoginHost},
        {"POST", "/login/", false,
         [this](RouteSite& site, const SiteRequest& request) {
           const auto token = server::FindFormField(request.http.body, "onetime_token");
           if (!site.CarriesAccount(request, "email", "passwd") || !token || !Redeem(pendingLogin_, *token)) {
             return PageReply("<p>ERROR: wrong mail address or password</p>");
           }
           return ServiceWide(
               site.SignIn(PageReply("<input type=\"hidden\" name=\"do_url\" id=\"do_url\" "
                                     "value=\"http://www.picmate.example/mypage/\">")));
         },
         kLoginHost},
        {"GET", "/mypage/", true,
         PageAnswer("<ul><li id=\"menuHome\" class=\"menuHome current\"><a href=\"http://www.picmate.example/"
                    "u8f2a/\">Home</a></li></ul>"),
         kMainHost},
        {"GET", "/u8f2a/upload/", true, PageAnswer("<form action=\"/upload\"></form>"), kUploadHost},
        {"GET", "/util_ajax/token/", true,
         [this](RouteSite&, const SiteRequest& request) {
           return PageReply(Issue(pendingUpload_, "ut" + request.Query() + "\r\n"));
         },
         kUploadHost},
        // Only a token the site handed out, once, lets a photo in.
        {"POST", "/upload", false,
         [this](RouteSite& site, const SiteRequest& request) {
           std::string token;
           for (const auto& part : ParseMultipart(request.http.body)) {
             if (part.name == "onetime_token") token = part.value;
           }
           if (!Redeem(pendingUpload_, token)) return PageReply("<p>ERROR: the form has expired</p>");
           site.Receive(request);
           if (site.On("refuse")) return PageReply("<p>UPLOAD_ERRORS=1</p>");
           return PageReply("<p>OK</p>");
         },
         kUploadHost},
    });
  }

 private:
  std::string Issue(std::string& pending, std::string token) {
    std::lock_guard lock(tokenMutex_);
    pending = token;
    return token;
  }
  bool Redeem(std::string& pending, const std::string& token) {
    std::lock_guard lock(tokenMutex_);
    const bool valid = !pending.empty() && token == pending;
    if (valid) pending.clear();
    return valid;
  }

  std::mutex tokenMutex_;
  std::string pendingLogin_, pendingUpload_;
};

}  // namespace

std::unique_ptr<RouteSite> MakeFakePicMate(const SiteAccount& account) {
  return std::make_unique<FakePicMate>(account);
}

}  // namespace wharfling::testing
