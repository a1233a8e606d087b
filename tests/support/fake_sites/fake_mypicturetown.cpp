#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

constexpr const char* kApp = "http://photoapp.mypicturetown.example/P2PwebCmdController/pictureBank/";
constexpr const char* kShowUpload =
    "wicket:interface=neosPhotos:0:downloadForm:showModalUpload::IActivePageBehaviorListener:0:&wicket:"
    "ignoreIfNotActive=true&commId=c42&random=0.640871347820983";

// The application's page under its scripted queries: the photo list, the upload dialog, and the
// dialog's Upload button, which redirects to the upload form.
Reply PhotosPage(RouteSite& site, const SiteRequest& request) {
  const std::string query = request.Query();
  if (query.empty()) {
    return RouteSite::PageReply(
        "<a onclick=\"wicketAjaxGet('?wicket:interface=neosPhotos:0:x::IBehaviorListener:0:&wicket:"
        "ignoreIfNotActive=true&commId=c42', null)\">upload</a>");
  }
  if (query == "wicket:interface=:1:uploadDialog::IBehaviorListener:0:") {
    if (site.On("no-upload-button")) return RouteSite::PageReply("<p>dialog</p>");
    return RouteSite::PageReply(
        "<input value=\"Upload\" type=\"image\" onclick=\"var wcall=wicketAjaxGet('?wicket:interface=:1:"
        "upload::IBehaviorListener:0:', null)\">");
  }
  if (query == "wicket:interface=:1:upload::IBehaviorListener:0:&random=0.7958794366440912") {
    return RouteSite::RedirectReply(std::string(kApp) + "uploadForm.html?wicket:interface=:2::");
  }
  return RouteSite::PageReply("<p>page expired</p>");
}

// The upload dialog opened by its script request.
Reply ShowUpload(RouteSite&, const SiteRequest& request) {
  if (request.Query() != kShowUpload || request.http.body.find("&showModalUpload=1") == std::string::npos) {
    return RouteSite::PageReply("<p>page expired</p>");
  }
  return RouteSite::PageReply(
      "<script>settings.src=\"?wicket:interface=:1:uploadDialog::IBehaviorListener:0:\";</script>");
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakeMyPicturetown(const SiteAccount& account) {
  class FakeMyPicturetown : public RouteSite {
   public:
    explicit FakeMyPicturetown(const SiteAccount& account)
        : RouteSite({"mypicturetown.example", "photoapp.mypicturetown.example"}, account) {
      const std::string main = "mypicturetown.example";
      const std::string app = "photoapp.mypicturetown.example";
      const std::string appPath = "/P2PwebCmdController/pictureBank/";
      // The photo list's script opens the upload dialog, whose Upload button leads to the form that
      // takes every photo.
      SetWalk({.start = {"GET /pictureBank/Top_ja.do", "POST /pictureBank/login/Login.do",
                         "GET " + appPath + "enter.html?ticket=ok", "GET " + appPath + "myPhotos.html",
                         "POST " + appPath + "myPhotos.html?" + kShowUpload,
                         "GET " + appPath +
                             "myPhotos.html?wicket:interface=:1:uploadDialog::IBehaviorListener:0:",
                         "GET " + appPath +
                             "myPhotos.html?wicket:interface=:1:upload::IBehaviorListener:0:&random=0."
                             "7958794366440912",
                         "GET " + appPath + "uploadForm.html?wicket:interface=:2::"},
               .photo = {"POST " + appPath +
                         "upload.html?wicket:interface=:2:formFilesUpload::IFormSubmitListener::"}});
      Serve({
          {"GET", "/pictureBank/Top_ja.do", false, PageAnswer("<form action=\"login/Login.do\"></form>"),
           main},
          {"POST", "/pictureBank/login/Login.do", false,
           [](RouteSite& site, const SiteRequest& request) {
             if (!request.secure || !site.CarriesAccount(request, "loginId", "password")) {
               return PageReply("<p>wrong ID or password</p>");
             }
             return site.SignIn(RedirectReply(std::string(kApp) + "enter.html?ticket=ok"));
           },
           main},
          // The photo application takes the member in on the ticket the sign-in handed out.
          {"GET", appPath + "enter.html", false,
           [](RouteSite& site, const SiteRequest& request) {
             if (request.Query() != "ticket=ok") return PageReply("<p>please sign in</p>");
             return site.SignIn(RedirectReply(std::string(kApp) + "myPhotos.html"));
           },
           app},
          {"GET", appPath + "myPhotos.html", true, PhotosPage, app},
          {"POST", appPath + "myPhotos.html", true, ShowUpload, app},
          {"GET", appPath + "uploadForm.html", true,
           PageAnswer(
               "<form action=\"upload.html?wicket:interface=:2:formFilesUpload::IFormSubmitListener::\" "
               "method=\"post\" enctype=\"multipart/form-data\">"),
           app},
          {"POST", appPath + "upload.html", true,
           [](RouteSite& site, const SiteRequest& request) {
             site.Receive(request);
             return PageReply("<h2><img src=\"/common/img/album/phup-h2-001.gif\" alt=\"uploaded\"></h2>");
           },
           app},
      });
    }
  };
  return std::make_unique<FakeMyPicturetown>(account);
}

}  // namespace wharfling::testing
