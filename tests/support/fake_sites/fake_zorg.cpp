#include "platform/posix/encoding.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

Reply UploadForm(RouteSite& site, const SiteRequest&) {
  const std::string n = std::to_string(site.UploadCount() + 1);
  std::string form = "<form onsubmit=\"submitOnce(this);\" name=\"form1\" method=\"post\" action=\"";
  if (site.On("no-form-target")) form = "<form name=\"form1\" method=\"post\" action=\"";
  return RouteSite::PageReply("<html><body>" + form + "http://www.zorg.example/ctr/upload\">" +
                              "<input name=\"uk\" type=\"hidden\" value=\"uk" + n + "\">" +
                              "<input name=\"c\" type=\"hidden\" value=\"c" + n + "\">" +
                              "<input name=\"m\" type=\"hidden\" value=\"m" + n + "\"></form></body></html>");
}

Reply ReceivePhoto(RouteSite& site, const SiteRequest& request) {
  if (site.On("monthly-limit")) {
    return RouteSite::PageReply(posix::Utf8ToCp932("<p>今月の月間転送枚数制限に達しました。</p>"));
  }
  const auto upload = site.Receive(request);
  const std::string n = std::to_string(site.UploadCount());
  if (upload.Field("uk") != "uk" + n || upload.Field("c") != "c" + n || upload.Field("m") != "m" + n) {
    return RouteSite::PageReply("<p>form expired</p>");
  }
  return RouteSite::RedirectReply("http://www.zorg.example/pub/done?n=" + n);
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakeZorg(const SiteAccount& account) {
  class FakeZorg : public RouteSite {
   public:
    explicit FakeZorg(const SiteAccount& account) : RouteSite({"www.zorg.example"}, account) {
      SetWalk({.start = {"GET /", "POST /login"},
               .photo = {"GET /ctr/upbrow", "POST /ctr/upload", "GET /pub/done?n={n}"}});
      Serve({
          {"GET", "/", false, PageAnswer("<html><form action=\"/login\"></form></html>")},
          {"POST", "/login", false,
           [](RouteSite& site, const SiteRequest& request) {
             if (!site.CarriesAccount(request, "lid", "lpw")) return PageReply("<p>wrong ID or password</p>");
             if (site.On("login-redirect"))
               return site.SignIn(RedirectReply("http://www.zorg.example/pub/mytop"));
             return site.SignIn(PageReply("<a href=\"/pub/mytop\">my top</a>"));
           }},
          {"GET", "/pub/mytop", true, PageAnswer("<p>welcome</p>")},
          {"GET", "/ctr/upbrow", true, UploadForm},
          {"POST", "/ctr/upload", true, ReceivePhoto},
          {"POST", "/ctr/upbrow", true, ReceivePhoto},
          {"GET", "/pub/done", true, PageAnswer("<p>uploaded</p>")},
      });
    }
  };
  return std::make_unique<FakeZorg>(account);
}

}  // namespace wharfling::testing
