#include "server/engine/form_decoding.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

constexpr const char* kAccountHost = "www.hatena.example";
constexpr const char* kPhotoHost = "f.hatena.example";
constexpr const char* kUserPath = "/fotouser/";

// The login form names where to go back to in its only field.
std::string LoginForm(const std::string& location) {
  return "<html><form action=\"/login\" method=\"post\"><input value=\"" + location +
         "\" name=\"location\" type=\"hidden\"></form></html>";
}

// The account host answers over https only.
Answer SecureOnly(Answer answer) {
  return [answer = std::move(answer)](RouteSite& site, const SiteRequest& request) {
    if (!request.secure) return RouteSite::PageReply("<p>use https</p>");
    return answer(site, request);
  };
}

Reply Login(RouteSite& site, const SiteRequest& request) {
  const std::string location = server::FindFormField(request.http.body, "location").value_or("");
  if (!site.CarriesAccount(request, "name", "password")) return RouteSite::PageReply(LoginForm(location));
  return site.SignIn(RouteSite::RedirectReply(location), "hatena.example");
}

Reply UserPage(RouteSite& site, const SiteRequest&) {
  return RouteSite::PageReply(
      "<form method=\"post\" enctype=\"multipart/form-data\">"
      "<input type=\"hidden\" name=\"mode\" value=\"enter\">"
      "<input type=\"hidden\" name=\"rkm\" value=\"rkm" +
      std::to_string(site.UploadCount() + 1) + "\"></form>");
}

Reply ReceivePhoto(RouteSite& site, const SiteRequest& request) {
  const auto upload = site.Receive(request);
  if (upload.Field("mode") != "enter" || upload.Field("rkm") != "rkm" + std::to_string(site.UploadCount())) {
    return RouteSite::PageReply("<p>the form has expired</p>");
  }
  return RouteSite::RedirectReply(site.On("edit-elsewhere") ? "./" : "./edit?s=entrytime");
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakeHatena(const SiteAccount& account) {
  class FakeHatena : public RouteSite {
   public:
    explicit FakeHatena(const SiteAccount& account) : RouteSite({kAccountHost, kPhotoHost}, account) {
      SetWalk({.start = {"GET /login?location=http://f.hatena.example/", "POST /login", "GET /"},
               .photo = {"GET /fotouser/", "POST /fotouser/"},
               .end = {"GET /logout"}});
      Serve({
          {"GET", "/login", false, SecureOnly([](RouteSite&, const SiteRequest& request) {
             return PageReply(LoginForm(server::FindFormField(request.Query(), "location").value_or("")));
           }),
           kAccountHost},
          {"POST", "/login", false, SecureOnly(Login), kAccountHost},
          {"GET", "/logout", true, SecureOnly(PageAnswer("<p>signed out</p>")), kAccountHost},
          {"GET", "/", true,
           PageAnswer(
               std::string("<a href=\"/\"><img src=\"/images/user-message.gif\" alt=\"\" class=\"message\" "
                           "width=\"180\" height=\"121\" /></a><a href=\"") +
               kUserPath + "\">my fotolife</a>"),
           kPhotoHost},
          {"GET", kUserPath, true, UserPage, kPhotoHost},
          {"POST", kUserPath, true, ReceivePhoto, kPhotoHost},
      });
    }
  };
  return std::make_unique<FakeHatena>(account);
}

}  // namespace wharfling::testing
