#include "server/engine/form_decoding.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

constexpr const char* kManager = "https://photo.rakuten.example/";

// The manager's one address under its menus: the upload form behind two redirects, and the result
// page of each upload, which shows the preview button only for a photo that arrived.
Reply ManagerMenu(RouteSite& site, const SiteRequest& request) {
  const std::string query = request.Query();
  if (query == "menu=upiform")
    return RouteSite::RedirectReply(std::string(kManager) + "?menu=upiform&step=1");
  if (query == "menu=upiform&step=1") {
    return RouteSite::RedirectReply(std::string(kManager) + "?menu=upiform&step=2");
  }
  if (query == "menu=upiform&step=2") {
    const std::string token =
        site.On("no-csrf") ? "" : "<input type=\"hidden\" name=\"csrf_hash\"  value=\"h0t\">";
    return RouteSite::PageReply("<form method=\"post\" enctype=\"multipart/form-data\">" + token +
                                "<select name=\"folder_id[]\"><option value=\"f100\">Album</option>"
                                "<option value=\"f200\">Travel</option></select></form>");
  }
  const std::string done = "menu=upidone&n=";
  if (query.rfind(done, 0) == 0 && std::stoul(query.substr(done.size())) <= site.UploadCount()) {
    return RouteSite::PageReply("<img src=\"img/bttn_prvwpht.gif\" alt=\"preview\">");
  }
  return RouteSite::PageReply("<p>upload failed</p>");
}

Reply ReceivePhoto(RouteSite& site, const SiteRequest& request) {
  const auto parts = ParseMultipart(request.http.body);
  std::string token, folder;
  for (const auto& part : parts) {
    if (part.name == "csrf_hash") token = part.value;
    if (part.name == "folder_id[]") folder = part.value;
  }
  if (token != "h0t" || folder != "f100")
    return RouteSite::RedirectReply(std::string(kManager) + "?menu=upierror");
  site.Receive(request);
  if (site.On("no-redirect")) return RouteSite::PageReply("<p>uploaded</p>");
  return RouteSite::RedirectReply(std::string(kManager) +
                                  "?menu=upidone&n=" + std::to_string(site.UploadCount()));
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakeRakuten(const SiteAccount& account) {
  class FakeRakuten : public RouteSite {
   public:
    explicit FakeRakuten(const SiteAccount& account)
        : RouteSite({"account.rakuten.example", "photo.rakuten.example"}, account) {
      const std::string accounts = "account.rakuten.example";
      const std::string manager = "photo.rakuten.example";
      SetWalk({.start = {"GET /rms/nid/vc?__event=login&service_id=59&return_url=index.phtml?",
                         "POST /rms/nid/login", "GET /index.phtml?ticket=ok", "GET /?menu=upiform",
                         "GET /?menu=upiform&step=1", "GET /?menu=upiform&step=2"},
               .photo = {"POST /", "GET /?menu=upidone&n={n}"}});
      Serve({
          {"GET", "/rms/nid/vc", false, PageAnswer("<form action=\"/rms/nid/login\" method=\"post\"></form>"),
           accounts},
          {"POST", "/rms/nid/login", false,
           [](RouteSite& site, const SiteRequest& request) {
             const auto returnTo = server::FindFormField(request.http.body, "return_url");
             if (!site.CarriesAccount(request, "u", "p") || returnTo != "index.phtml?") {
               return PageReply("<p>wrong user ID or password</p>");
             }
             return site.SignIn(RedirectReply(std::string(kManager) + "index.phtml?ticket=ok"));
           },
           accounts},
          // The manager takes the member in on the ticket the account host handed out.
          {"GET", "/index.phtml", false,
           [](RouteSite& site, const SiteRequest& request) {
             if (request.Query() != "ticket=ok") return PageReply("<p>please sign in</p>");
             return site.SignIn(PageReply("<p>my photos</p>"));
           },
           manager},
          {"GET", "/", true, ManagerMenu, manager},
          {"POST", "/", true, ReceivePhoto, manager},
      });
    }
  };
  return std::make_unique<FakeRakuten>(account);
}

}  // namespace wharfling::testing
