// Rakuten photo: signs in on the shared account host, follows the redirects to the photo manager's
// upload form, reads its anti-forgery token and first folder, and posts every photo to the manager,
// judging each by the page its redirect lands on. Every request is secure. No sign-in test, no
// message box, no sign-out.

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"

namespace wharfling {
namespace {

// The login page's own address; the exchange decodes its %3F when it is requested, while the
// Referer line carries it as written.
constexpr std::string_view kLoginPage = "/rms/nid/vc?__event=login&service_id=59&return_url=index.phtml%3F";

class RakutenPhotoRun {
 public:
  explicit RakutenPhotoRun(DriverContext& context)
      : context_(context),
        web_(context.web()),
        accountBase_("https://" + context.endpoints().Host("rakuten.account")),
        managerBase_("https://" + context.endpoints().Host("rakuten.manager")),
        uploadReferer_(RefererLine(managerBase_ + "/?menu=upiform")) {}

  // Nothing is tested: a refused sign-in shows as failed uploads.
  bool SignIn(const Text& id, const Text& password) {
    GetPage(web_, accountBase_ + Text(kLoginPage), kSecure);
    const Text body =
        "service_id=59&return_url=index.phtml%3F&u=" + FormEscape(id) + "&p=" + FormEscape(password);
    PostForm(web_, accountBase_ + "/rms/nid/login", body,
             {.secure = true, .extraHeader = RefererLine(accountBase_ + Text(kLoginPage))});
    ReadRedirect();
    GetPage(web_, redirect_, kSecure);
    return true;
  }

  // Walks to the upload form and reads its token and the first folder offered.
  bool Prepare() {
    GetPage(web_, managerBase_ + "/?menu=upiform", kSecure);
    ReadRedirect();
    GetPage(web_, redirect_, kSecure);
    ReadRedirect();
    GetPage(web_, redirect_, kSecure);
    const ChunkList& page = web_.lastResponse().BodyChunks;
    ExtractBetween(page, "<input type=\"hidden\" name=\"csrf_hash\"  value=\"", '"', formToken_);
    ExtractBetween(page, "<option value=\"", '"', folder_);
    return true;
  }

  Text Upload(std::size_t item) {
    const std::string& path = context_.uploadList()[item].path;
    const bool sent =
        web_.SendUpload(UploadSender::kRakutenPhoto, managerBase_ + "/", RequestFlags(true), uploadReferer_,
                        path, {{"csrf_hash", formToken_}, {"folder_id[]", folder_}});
    const bool redirected = sent && ReadRedirect();
    // Without a redirect of its own the next request lands on an earlier page (the form, or the
    // previous photo's result), which says nothing about this photo.
    GetPage(web_, redirect_, {.secure = true, .extraHeader = uploadReferer_});
    return redirected && PageContains(web_.lastResponse().BodyChunks, "img/bttn_prvwpht.gif")
               ? StatusSuccess()
               : StatusFailed();
  }

 private:
  static constexpr PageOptions kSecure{.secure = true, .extraHeader = {}};

  bool ReadRedirect() { return ExtractRedirect(web_.lastResponse().HeaderBlocks, redirect_); }

  DriverContext& context_;
  WebClient& web_;
  const Text accountBase_, managerBase_, uploadReferer_;
  // One redirect target, overwritten by every redirect; the token and folder are read once.
  Text redirect_, formToken_, folder_;
};

}  // namespace

void UploadToRakutenPhoto(DriverContext& context, const Text&, const Text& id, const Text& password) {
  RakutenPhotoRun run(context);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = [&] { return run.Prepare(); },
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = nullptr});
}

}  // namespace wharfling
