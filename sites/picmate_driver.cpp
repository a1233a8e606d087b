// PicMate: the login form and every upload are guarded by one-time tokens that a small script
// request returns as its whole body; the driver keeps the dialog's copy of each response and takes
// the tokens from it as they came. Signs in on the secure login host, finds the member's own path
// on the main host and posts each photo to the upload host. No sign-in test, no message box, no
// sign-out.

#include <string>

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"

namespace wharfling {
namespace {

// The token request numbers the site's own script uses: the first upload asks with this one, and
// every later one with the number two above.
constexpr int kFirstTokenNumber = 1538;

class PicMateRun {
 public:
  explicit PicMateRun(DriverContext& context)
      : context_(context),
        web_(context.web()),
        loginBase_("https://" + context.endpoints().Host("picmate.login")),
        mainBase_("http://" + context.endpoints().Host("picmate.main")),
        uploadBase_("http://" + context.endpoints().Host("picmate.upload")) {}

  // Nothing is tested: a refused sign-in shows in the statuses only.
  bool SignIn(const Text& id, const Text& password) {
    Get(loginBase_ + "/login/", true);
    Get(loginBase_ + "/util_ajax/token/?1413", true);
    const Text loginToken = context_.lastPageText();  // the whole body, line breaks and all
    const Text account = "email=" + FormEscape(id) + "&passwd=" + FormEscape(password) + "&passwd_limit=20";
    Post(loginBase_ + "/util_ajax/ajax_check_login/", account + "&ref=/login/", true);
    Post(loginBase_ + "/login/?command=done", account + "&onetime_token=" + loginToken + "&ref=/login/",
         true);
    ExtractBetween(Page(), "<input type=\"hidden\" name=\"do_url\" id=\"do_url\" value=\"", '"', memberPage_);
    return true;
  }

  bool Prepare() {
    Get(memberPage_, false);
    ExtractBetween(Page(), "<li id=\"menuHome\" class=\"menuHome current\"><a href=\"" + mainBase_ + "/", '"',
                   memberPath_);
    tokenNumber_ = kFirstTokenNumber;
    return true;
  }

  Text Upload(std::size_t item) {
    const std::string& path = context_.uploadList()[item].path;
    Get(uploadBase_ + "/" + memberPath_ + "upload/", false);
    Get(uploadBase_ + "/util_ajax/token/?" + std::to_string(tokenNumber_), false);
    tokenNumber_ += 2;
    const Text uploadToken = context_.lastPageText();
    const bool sent = web_.SendUpload(UploadSender::kPicMate, uploadBase_ + "/upload", RequestFlags(false),
                                      std::nullopt, path, {{"onetime_token", uploadToken}});
    context_.KeepLastResponse();
    // The site reports a refusal with "ERROR"; a post that got no answer at all failed too.
    if (!sent || PageContains(Page(), "ERROR")) return StatusFailed();
    return StatusSuccess();
  }

 private:
  const ChunkList& Page() const { return web_.lastResponse().BodyChunks; }
  void Get(const Text& url, bool secure) {
    GetPage(web_, url, {.secure = secure, .extraHeader = {}});
    context_.KeepLastResponse();
  }
  void Post(const Text& url, const Text& body, bool secure) {
    PostForm(web_, url, body, {.secure = secure, .extraHeader = {}});
    context_.KeepLastResponse();
  }

  DriverContext& context_;
  WebClient& web_;
  const Text loginBase_, mainBase_, uploadBase_;
  Text memberPage_, memberPath_;
  int tokenNumber_ = kFirstTokenNumber;
};

}  // namespace

void UploadToPicMate(DriverContext& context, const Text&, const Text& id, const Text& password) {
  PicMateRun run(context);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = [&] { return run.Prepare(); },
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = nullptr});
}

}  // namespace wharfling
