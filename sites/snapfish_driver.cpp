// Snapfish: signs in through the HTML login form, follows the site's redirect and script redirects
// to its basic HTML uploader (creating a "MultiUploader" album on the way), and posts every photo to
// the separate upload host with a fresh authcode. Every address is fixed; no sign-out.

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

class SnapfishRun {
 public:
  explicit SnapfishRun(DriverContext& context)
      : context_(context),
        web_(context.web()),
        webBase_("http://" + context.endpoints().Host("snapfish.web")),
        secureWebBase_("https://" + context.endpoints().Host("snapfish.web")),
        uploadBase_("http://" + context.endpoints().Host("snapfish.upload")) {}

  bool SignIn(const Text& id, const Text& password) {
    GetPage(web_, webBase_ + "/login");
    const Text body =
        "emailaddress=" + FormEscape(id) + "&password=" + FormEscape(password) + "&btzo=-540&x=39&y=1";
    PostForm(web_, secureWebBase_ + "/loginsubmit", body,
             {.secure = true, .extraHeader = RefererLine(webBase_ + "/login")});
    // Any header ending in "Location" counts, whatever its case of "l".
    if (!ExtractRedirect(web_.lastResponse().HeaderBlocks, redirectTarget_)) {
      context_.ShowMessage(Text(texts::kLoginFailed));
      return false;
    }
    return true;
  }

  // The way to the basic uploader; a missing value stays empty and the uploads then fail.
  bool Prepare() {
    GetPage(web_, redirectTarget_, {.secure = true});
    ExtractBetween(Page(), "document.location.href = \"", '"', scriptTarget_);
    GetPage(web_, scriptTarget_);
    ExtractBetween(Page(), "<td id=\"upload\"><a href=\"/uploadprobe/t_=", '"', uploadToken_);
    GetPage(web_, webBase_ + "/uploadprobe/t_=" + uploadToken_);
    PostForm(web_, webBase_ + "/selectalbumupload/t_=" + uploadToken_, "UseBasic=false");
    ExtractBetween(Page(), "lm.setURLParameter(\"AlbumID\", \"", '"', albumId_);
    const Text albumPath = "/AlbumID=" + albumId_ + "/AlbumCaption=MultiUploader/t_=" + uploadToken_;
    GetPage(web_, webBase_ + "/uploadprobe" + albumPath);
    PostForm(web_, webBase_ + "/uploadinstallmain" + albumPath, "UseBasic=false");
    ExtractBetween(Page(), "document.location.href = '/htmlupload/AlbumID=", '\'', uploadPagePath_);
    return true;
  }

  Text Upload(std::size_t item) {
    const std::string& path = context_.uploadList()[item].path;
    // Every file gets a fresh authcode from the same upload page.
    GetPage(web_, webBase_ + "/htmlupload/AlbumID=" + uploadPagePath_);
    Text uploadUrl, authcode;
    ExtractPair(Page(), uploadBase_ + "/uploadimagebasic.suup", "('", 70, "')", uploadUrl, authcode, 0);
    const Text target = uploadBase_ + "/uploadimagebasic.suup?authcode=" + authcode +
                        "&Src=HTM&SequenceNumber=0&ExpectedImages=1&IsDeveloperOn=N&HOST_NAME=" + webBase_ +
                        "&AlbumCaption=multiuploader&isFromFlexUpload= true";
    if (!web_.SendUpload(UploadSender::kSnapfish, target, RequestFlags(false),
                         RefererLine(webBase_ + "/htmlupload/"), path)) {
      return StatusFailed();
    }
    return PageContains(Page(), "name=\"FAILED_UPLOADS\" value=\"\">") ? StatusSuccess() : StatusFailed();
  }

 private:
  const ChunkList& Page() const { return web_.lastResponse().BodyChunks; }

  DriverContext& context_;
  WebClient& web_;
  const Text webBase_, secureWebBase_, uploadBase_;
  Text redirectTarget_, scriptTarget_, uploadToken_, albumId_, uploadPagePath_;
};

}  // namespace

void UploadToSnapfish(DriverContext& context, const Text& /*siteUrl*/, const Text& id, const Text& password) {
  SnapfishRun run(context);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = [&] { return run.Prepare(); },
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = nullptr});
}

}  // namespace wharfling
