#include "server/engine/form_decoding.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

std::string TokenField(const std::string& token) {
  return "<input type=\"hidden\" name=\"_csrf_token\" value=\"" + token + "\">";
}

std::string Field(const SiteRequest& request, std::string_view name) {
  return std::string(server::FindFormField(request.http.body, name).value_or(""));
}

Reply LoginPage(RouteSite&, const SiteRequest& request) {
  if (!request.secure) return RouteSite::RedirectReply("https://photohito.example/user/login");
  return RouteSite::PageReply("<form method=\"post\">" + TokenField("t-login") +
                              "<input type=\"hidden\" name=\"referer\" id=\"referer\" "
                              "value=\"http://photohito.example/mypage\"></form>");
}

Reply Login(RouteSite& site, const SiteRequest& request) {
  if (!request.secure || Field(request, "_csrf_token") != "t-login" ||
      Field(request, "referer") != "http://photohito.example/mypage" ||
      !site.CarriesAccount(request, "username", "password")) {
    return LoginPage(site, request);
  }
  return site.SignIn(RouteSite::PageReply("<script>location.href = \"http://photohito.example/\";</script>"));
}

// The upload form of the next photo, with its own token.
Reply UploadPage(RouteSite& site, const SiteRequest&) {
  const std::string n = std::to_string(site.UploadCount() + 1);
  return RouteSite::PageReply(
      "<form>" + TokenField("t-up" + n) +
      "<input type=\"hidden\" name=\"status\" id=\"status\" value=\"public\"></form>");
}

Reply ReceivePhoto(RouteSite& site, const SiteRequest& request) {
  const auto upload = site.Receive(request);
  const std::string n = std::to_string(site.UploadCount());
  if (site.On("refuse") || upload.Field("_csrf_token") != "t-up" + n || upload.Field("status") != "public") {
    return RouteSite::PageReply("<div id=\"error_title\">Upload failed</div>");
  }
  return RouteSite::RedirectReply("http://photohito.example/photo/confirm?n=" + n);
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakePhotohito(const SiteAccount& account) {
  class FakePhotohito : public RouteSite {
   public:
    explicit FakePhotohito(const SiteAccount& account) : RouteSite({"photohito.example"}, account) {
      SetWalk({.start = {"GET /user/login", "POST /user/login", "GET /"},
               .photo = {"GET /photo/upload/html", "POST /photo/upload", "GET /photo/confirm?n={n}",
                         "POST /photo/check"},
               .end = {"GET /user/logout"}});
      Serve({
          {"GET", "/user/login", false, LoginPage},
          {"POST", "/user/login", false, Login},
          {"GET", "/", true, PageAnswer("<p>front page</p>")},
          {"GET", "/photo/upload/html", true, UploadPage},
          {"POST", "/photo/upload", true, ReceivePhoto},
          {"GET", "/photo/confirm", true,
           [](RouteSite&, const SiteRequest& request) {
             return PageReply("<form action=\"/photo/check\">" + TokenField("t-check-" + request.Query()) +
                              "</form>");
           }},
          {"POST", "/photo/check", true, PageAnswer("<p>published</p>")},
          {"GET", "/user/logout", true, PageAnswer("<p>signed out</p>")},
      });
    }
  };
  return std::make_unique<FakePhotohito>(account);
}

}  // namespace wharfling::testing
