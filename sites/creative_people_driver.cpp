// creative people:photo: the login page moves the browser from http to https and back, so the
// sign-in follows the site's redirects by hand, then reads the user's owner id once. Every photo
// goes to the target of a freshly opened upload form. The only site whose pages want the MSIE 7
// identity. No sign-out.

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

class CreativePeopleRun {
 public:
  CreativePeopleRun(DriverContext& context, const Text& siteUrl)
      : context_(context),
        web_(context.web()),
        siteUrl_(siteUrl),
        webBase_("http://" + context.endpoints().Host("creativepeople.web")),
        secureBase_("https://" + context.endpoints().Host("creativepeople.web")) {}

  bool SignIn(const Text& id, const Text& password) {
    const Text fromHome = RefererLine(webBase_ + "/home.cr");
    const Text fromLogin = RefererLine(secureBase_ + "/login_input.cr");
    // The redirects are kept in one text: a step the site does not redirect leaves the previous one.
    Page(siteUrl_ + "/login_input.cr", false, fromHome);
    ExtractRedirect(web_.lastResponse().HeaderBlocks, redirect_);
    Page(redirect_, true, fromHome);
    PostForm(web_, secureBase_ + "/login.cr",
             "loginName=" + FormEscape(id) + "&password=" + FormEscape(password),
             {.secure = true, .extraHeader = fromLogin, .profile = &Msie7Profile()});
    if (!ExtractRedirect(web_.lastResponse().HeaderBlocks, redirect_)) {
      context_.ShowMessage(Text(texts::kLoginFailed));
      return false;
    }
    Page(redirect_, true, fromLogin);
    ExtractRedirect(web_.lastResponse().HeaderBlocks, redirect_);
    Page(redirect_, false, std::nullopt);
    ExtractBetween(web_.lastResponse().BodyChunks, "<a href=\"fileUpload.cr?owner=", '"', owner_);
    return true;
  }

  Text Upload(std::size_t item) {
    const std::string& path = context_.uploadList()[item].path;
    Page(webBase_ + "/fileUpload.cr?owner=" + owner_, false, std::nullopt);
    // Without the form's marker the previous photo's target is used again.
    ExtractBetween(web_.lastResponse().BodyChunks, "onsubmit=\"return true;\" action=\"", '"', formTarget_);
    if (!web_.SendUpload(UploadSender::kCreativePeople, webBase_ + formTarget_, RequestFlags(false),
                         std::nullopt, path)) {
      return StatusFailed();  // no answer is no success, though it shows no error message either
    }
    return PageContains(web_.lastResponse().BodyChunks, "<span class=\"errorMessage\">") ? StatusFailed()
                                                                                         : StatusSuccess();
  }

 private:
  void Page(const Text& url, bool secure, std::optional<std::string_view> extraHeader) {
    GetPage(web_, url, {.secure = secure, .extraHeader = extraHeader, .profile = &Msie7Profile()});
  }

  DriverContext& context_;
  WebClient& web_;
  const Text siteUrl_;
  const Text webBase_;
  const Text secureBase_;
  Text redirect_, owner_, formTarget_;
};

}  // namespace

void UploadToCreativePeople(DriverContext& context, const Text& siteUrl, const Text& id,
                            const Text& password) {
  CreativePeopleRun run(context, siteUrl);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = nullptr,
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = nullptr});
}

}  // namespace wharfling
