// PHOTOHITO: every form carries a per-page token. Signs in over https with the login page's token,
// then for every photo takes a fresh token from the upload page, posts the photo, follows the
// site's redirect to its confirmation page and confirms with that page's token. Signs out.

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

class PhotohitoRun {
 public:
  PhotohitoRun(DriverContext& context, const Text& siteUrl)
      : context_(context),
        web_(context.web()),
        siteUrl_(siteUrl),
        secureBase_("https://" + context.endpoints().Host("photohito.web")),
        webBase_("http://" + context.endpoints().Host("photohito.web")) {}

  bool SignIn(const Text& id, const Text& password) {
    GetPage(web_, siteUrl_ + "/user/login", {.secure = true});
    ReadToken();
    ExtractBetween(web_.lastResponse().BodyChunks,
                   "<input type=\"hidden\" name=\"referer\" id=\"referer\" value=\"", '"', returnField_);
    const Text loginPage = secureBase_ + "/user/login";
    const Text body = "_csrf_token=" + token_ + "&username=" + FormEscape(id) +
                      "&password=" + FormEscape(password) + "&referer=" + returnField_;
    PostForm(web_, loginPage, body, {.secure = true, .extraHeader = RefererLine(loginPage)});
    // Signed in, the site answers with a script that sends the browser to its plain front page.
    if (!PageContains(web_.lastResponse().BodyChunks, "location.href = \"" + webBase_ + "/\"")) {
      context_.ShowMessage(Text(texts::kLoginFailed));
      return false;
    }
    GetPage(web_, webBase_ + ":80/", {.extraHeader = RefererLine(loginPage)});
    return true;
  }

  Text Upload(std::size_t item) {
    const std::string& path = context_.uploadList()[item].path;
    const Text uploadPage = webBase_ + "/photo/upload/html";
    const Text referer = RefererLine(uploadPage);
    const PageOptions fromUploadPage{.extraHeader = referer};
    GetPage(web_, uploadPage);
    ReadToken();
    ExtractBetween(web_.lastResponse().BodyChunks,
                   "<input type=\"hidden\" name=\"status\" id=\"status\" value=\"", '"', statusField_);
    const bool sent =
        web_.SendUpload(UploadSender::kPhotohito, webBase_ + "/photo/upload", RequestFlags(false), referer,
                        path, {{"_csrf_token", token_}, {"status", statusField_}});
    ExtractRedirect(web_.lastResponse().HeaderBlocks, confirmation_);
    const bool refused = PageContains(web_.lastResponse().BodyChunks, "<div id=\"error_title\">");
    // The site expects its confirmation whatever became of the photo.
    GetPage(web_, confirmation_, fromUploadPage);
    ReadToken();
    PostForm(web_, webBase_ + "/photo/check", "_csrf_token=" + token_);
    // A post that got no answer is no success, though the site shows no error title for it.
    return sent && !refused ? StatusSuccess() : StatusFailed();
  }

  void SignOut() { GetPage(web_, webBase_ + "/user/logout"); }

 private:
  void ReadToken() {
    ExtractBetween(web_.lastResponse().BodyChunks, "name=\"_csrf_token\" value=\"", '"', token_);
  }

  DriverContext& context_;
  WebClient& web_;
  const Text siteUrl_;
  const Text secureBase_;
  const Text webBase_;
  Text token_, returnField_, statusField_, confirmation_;
};

}  // namespace

void UploadToPhotohito(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password) {
  PhotohitoRun run(context, siteUrl);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = nullptr,
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = [&] { run.SignOut(); }});
}

}  // namespace wharfling
