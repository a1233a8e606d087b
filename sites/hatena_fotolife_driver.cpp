// Hatena fotolife: signs in on the account host over https, finds the user's own page on the photo
// host, posts each photo there with the page's fresh mode and rkm values, and signs out.

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

class HatenaRun {
 public:
  HatenaRun(DriverContext& context, const Text& siteUrl)
      : context_(context),
        web_(context.web()),
        siteUrl_(siteUrl),
        // The account pages are always reached over https, whatever the site URL says.
        accountBase_("https://" + context.endpoints().Host("hatena.account")),
        photoBase_("http://" + context.endpoints().Host("hatena.photo")) {}

  bool SignIn(const Text& id, const Text& password) {
    GetPage(web_, siteUrl_ + "/login?location=" + photoBase_ + "/", {.secure = true});
    Text returnHost;
    ExtractBetween(web_.lastResponse().BodyChunks, "<input value=\"http://", '"', returnHost);
    const Text body =
        "name=" + FormEscape(id) + "&password=" + FormEscape(password) + "&location=http://" + returnHost;
    PostForm(web_, accountBase_ + "/login", body, {.secure = true});
    // Only the login form coming back means a refusal.
    if (PageContains(web_.lastResponse().BodyChunks, "<input value=\"" + photoBase_ + "/\"")) {
      context_.ShowMessage(Text(texts::kLoginFailed));
      return false;
    }
    GetPage(web_, photoBase_ + "/");
    ExtractBetween(web_.lastResponse().BodyChunks,
                   "<img src=\"/images/user-message.gif\" alt=\"\" class=\"message\" width=\"180\" "
                   "height=\"121\" /></a><a href=\"",
                   '"', userPath_);
    return true;
  }

  Text Upload(std::size_t item) {
    const std::string& path = context_.uploadList()[item].path;
    const Text userPage = photoBase_ + userPath_;
    GetPage(web_, userPage);
    const ChunkList& page = web_.lastResponse().BodyChunks;
    ExtractBetween(page, "<input type=\"hidden\" name=\"mode\" value=\"", '"', mode_);
    ExtractBetween(page, "<input type=\"hidden\" name=\"rkm\" value=\"", '"', rkm_);
    if (!web_.SendUpload(UploadSender::kHatenaFotolife, userPage, RequestFlags(false), std::nullopt, path,
                         {{"mode", mode_}, {"rkm", rkm_}})) {
      return StatusFailed();
    }
    const ChunkList& headers = web_.lastResponse().HeaderBlocks;
    Text editPage;
    return ExtractRedirect(headers, editPage) && PageContains(headers, "./edit?s=entrytime") ? StatusSuccess()
                                                                                             : StatusFailed();
  }

  void SignOut() { GetPage(web_, accountBase_ + "/logout", {.secure = true}); }

 private:
  DriverContext& context_;
  WebClient& web_;
  const Text siteUrl_, accountBase_, photoBase_;
  Text userPath_, mode_, rkm_;
};

}  // namespace

void UploadToHatenaFotolife(DriverContext& context, const Text& siteUrl, const Text& id,
                            const Text& password) {
  HatenaRun run(context, siteUrl);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = nullptr,
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = [&] { run.SignOut(); }});
}

}  // namespace wharfling
