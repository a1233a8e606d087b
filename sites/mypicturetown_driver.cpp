// myPicturetown: signs in on the main host, follows the redirects into the photo application, opens
// its upload dialog the way the page's script does (two scripted requests with fixed random
// parameters), follows one more redirect to the upload form and posts every photo to the form's
// target. No sign-in test, no message box, no sign-out.

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"

namespace wharfling {
namespace {

class MyPicturetownRun {
 public:
  explicit MyPicturetownRun(DriverContext& context)
      : context_(context),
        web_(context.web()),
        mainBase_("http://" + context.endpoints().Host("mypicturetown.main")),
        secureMainBase_("https://" + context.endpoints().Host("mypicturetown.main")),
        photoAppBase_("http://" + context.endpoints().Host("mypicturetown.photoapp") +
                      "/P2PwebCmdController/pictureBank/") {}

  // Nothing is tested: a refused sign-in leaves the values unfound and the uploads fail.
  bool SignIn(const Text& id, const Text& password) {
    GetPage(web_, mainBase_ + "/pictureBank/Top_ja.do");
    const Text body = "loginId=" + FormEscape(id) + "&password=" + FormEscape(password) +
                      "&login-button.x=62&login-button.y=16&login-button=Login";
    PostForm(web_, secureMainBase_ + "/pictureBank/login/Login.do", body,
             {.secure = true, .extraHeader = {}});
    ReadRedirect();
    GetPage(web_, redirect_);
    ReadRedirect();
    return true;
  }

  // Opens the upload dialog as the page's script would and reads the upload form's target.
  bool Prepare() {
    GetPage(web_, redirect_);
    ExtractBetween(Page(), "ignoreIfNotActive=true&commId=", '\'', commId_);
    PostForm(
        web_,
        photoAppBase_ +
            "myPhotos.html?wicket:interface=neosPhotos:0:downloadForm:showModalUpload::"
            "IActivePageBehaviorListener:0:&wicket:ignoreIfNotActive=true&commId=" +
            commId_ + "&random=0.640871347820983",
        "downloadForm_hf_0=&selectedItems=&currentSelectedItem=&activeArea=undefined&dragAction=&"
        "dropListId=&dragListId=&pluginDetect=not-installed&bodyScroll=0&viewScroll=0&showModalUpload=1");
    ExtractBetween(Page(), "settings.src=\"", '"', page_);
    GetPage(web_, photoAppBase_ + "myPhotos.html" + page_);
    ExtractBetween(Page(), "<input value=\"Upload\" type=\"image\" onclick=\"var wcall=wicketAjaxGet('", '\'',
                   page_);
    GetPage(web_, photoAppBase_ + "myPhotos.html" + page_ + "&random=0.7958794366440912");
    ReadRedirect();
    GetPage(web_, redirect_);
    ExtractBetween(Page(), "<form action=\"", '"', page_);
    return true;
  }

  Text Upload(std::size_t item) {
    const std::string& path = context_.uploadList()[item].path;
    if (!web_.SendUpload(UploadSender::kMyPicturetown, photoAppBase_ + page_, RequestFlags(false),
                         std::nullopt, path)) {
      return StatusFailed();
    }
    return PageContains(Page(), "img src=\"/common/img/album/phup-h2-001.gif\"") ? StatusSuccess()
                                                                                 : StatusFailed();
  }

 private:
  const ChunkList& Page() const { return web_.lastResponse().BodyChunks; }
  void ReadRedirect() { ExtractRedirect(web_.lastResponse().HeaderBlocks, redirect_); }

  DriverContext& context_;
  WebClient& web_;
  const Text mainBase_, secureMainBase_, photoAppBase_;
  // One redirect target and one page value, each overwritten by every find that succeeds.
  Text redirect_, commId_, page_;
};

}  // namespace

void UploadToMyPicturetown(DriverContext& context, const Text&, const Text& id, const Text& password) {
  MyPicturetownRun run(context);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = [&] { return run.Prepare(); },
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = nullptr});
}

}  // namespace wharfling
