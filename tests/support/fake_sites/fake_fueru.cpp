#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

constexpr const char* kReportOk = "<h2><img src=\"/common/img/album/phup-h2-001.gif\" alt=\"uploaded\"></h2>";

// The error report of one file, named by its whole path: clean only when that file arrived.
Reply ErrorReport(RouteSite& site, const SiteRequest& request) {
  const std::string prefix = "fileName=";
  const std::string& body = request.http.body;
  const std::string path = body.compare(0, prefix.size(), prefix) == 0 ? body.substr(prefix.size()) : "";
  bool arrived = false;
  for (const auto& upload : site.Uploads()) arrived = arrived || upload.fileName == path;
  if (arrived || site.On("report-ok")) return RouteSite::PageReply(kReportOk);
  return RouteSite::PageReply("<p>error: no such file</p>");
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakeFueru(const SiteAccount& account) {
  class FakeFueru : public RouteSite {
   public:
    explicit FakeFueru(const SiteAccount& account) : RouteSite({"www.fueru.example"}, account) {
      SetWalk(
          {.start = {"GET /index.php", "POST /TOP001C_Login.php", "GET /photo/mypage/MPG001C_Init.php",
                     "GET /photo/upload/UPL001C_Init.php", "GET /photo/upload/UPL002C_Init.php"},
           .photo = {"POST /photo/upload/UPL001C_GetFolderId.php", "POST /photo/upload/UPL001C_GetFolder.php",
                     "POST /photo/upload/UPL002C_Up.php", "POST /photo/upload/UPL001C_GetError.php"}});
      Serve({
          {"GET", "/index.php", false, PageAnswer("<form action=\"/TOP001C_Login.php\"></form>")},
          {"POST", "/TOP001C_Login.php", false,
           [](RouteSite& site, const SiteRequest& request) {
             if (!site.CarriesAccount(request, "txtMailAdr", "txtPassward")) {
               return PageReply("<p>wrong mail address or password</p>");
             }
             return site.SignIn(RedirectReply("http://www.fueru.example/photo/mypage/MPG001C_Init.php"));
           }},
          {"GET", "/photo/mypage/MPG001C_Init.php", true, PageAnswer("<p>my page</p>")},
          {"GET", "/photo/upload/UPL001C_Init.php", true, PageAnswer("<object data=\"uploader.swf\">")},
          {"GET", "/photo/upload/UPL002C_Init.php", true, PageAnswer("<p>upload tool</p>")},
          {"POST", "/photo/upload/UPL001C_GetFolderId.php", true, PageAnswer("folderId=0")},
          {"POST", "/photo/upload/UPL001C_GetFolder.php", true,
           PageAnswer("<folders><folder id=\"0\"/></folders>")},
          {"POST", "/photo/upload/UPL002C_Up.php", true,
           [](RouteSite& site, const SiteRequest& request) {
             site.Receive(request);
             return PageReply("OK");
           }},
          {"POST", "/photo/upload/UPL001C_GetError.php", true, ErrorReport},
      });
    }
  };
  return std::make_unique<FakeFueru>(account);
}

}  // namespace wharfling::testing
