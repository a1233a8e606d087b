// Fueru: signs in over https, opens the member page and the two pages of the upload tool, then for
// every photo replays the tool's own requests: the folder list, the post, the file's error report.
// No sign-in test, no message box, no sign-out.

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"

namespace wharfling {
namespace {

class FueruRun {
 public:
  explicit FueruRun(DriverContext& context)
      : context_(context),
        web_(context.web()),
        webBase_("http://" + context.endpoints().Host("fueru.web")),
        secureBase_("https://" + context.endpoints().Host("fueru.web")),
        toolReferer_(RefererLine(webBase_ + "/photo/upload/UPL002C_Init.php")) {}

  // Nothing is read or tested: a refused sign-in shows in the statuses only.
  bool SignIn(const Text& id, const Text& password) {
    GetPage(web_, secureBase_ + "/index.php", {.secure = true, .extraHeader = {}});
    const Text body = "txtMailAdr=" + FormEscape(id) + "&txtPassward=" + FormEscape(password) +
                      "&topPage=true&flash=9.0.124&userKbn=0";
    PostForm(web_, secureBase_ + "/TOP001C_Login.php", body,
             {.secure = true, .extraHeader = RefererLine(secureBase_ + "/index.php")});
    return true;
  }

  bool Prepare() {
    GetPage(web_, webBase_ + "/photo/mypage/MPG001C_Init.php",
            {.extraHeader = RefererLine(secureBase_ + "/TOP001C_Login.php")});
    GetPage(web_, webBase_ + "/photo/upload/UPL001C_Init.php");
    GetPage(web_, webBase_ + "/photo/upload/UPL002C_Init.php");
    return true;
  }

  Text Upload(std::size_t item) {
    const UploadItem& file = context_.uploadList()[item];
    // The options only point at the Referer line, which the run holds.
    const PageOptions fromTool{.extraHeader = toolReferer_};
    PostForm(web_, webBase_ + "/photo/upload/UPL001C_GetFolderId.php", "folderId=0", fromTool);
    PostForm(web_, webBase_ + "/photo/upload/UPL001C_GetFolder.php", "", fromTool);
    const bool sent = web_.SendUpload(UploadSender::kFueru, webBase_ + "/photo/upload/UPL002C_Up.php",
                                      RequestFlags(false), fromTool.extraHeader, file.path);
    // The error report is asked for whatever the post did, naming the file by its whole path.
    PostForm(web_, webBase_ + "/photo/upload/UPL001C_GetError.php", "fileName=" + file.pathText, fromTool);
    // A post that never reached the site failed, whatever the report says.
    if (!sent) return StatusFailed();
    return PageContains(web_.lastResponse().BodyChunks, "img src=\"/common/img/album/phup-h2-001.gif\"")
               ? StatusSuccess()
               : StatusFailed();
  }

 private:
  DriverContext& context_;
  WebClient& web_;
  const Text webBase_, secureBase_, toolReferer_;
};

}  // namespace

void UploadToFueru(DriverContext& context, const Text&, const Text& id, const Text& password) {
  FueruRun run(context);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = [&] { return run.Prepare(); },
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = nullptr});
}

}  // namespace wharfling
