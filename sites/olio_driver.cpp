// Olio: signs in over https, finds the user's personal album on the album page and posts every photo
// to that album's plain upload form. No sign-out.

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

constexpr int kAlbumLinkGap = 70;

class OlioRun {
 public:
  OlioRun(DriverContext& context, const Text& siteUrl)
      : context_(context),
        web_(context.web()),
        siteUrl_(siteUrl),
        secureBase_("https://" + context.endpoints().Host("olio.web")) {}

  bool SignIn(const Text& id, const Text& password) {
    GetPage(web_, siteUrl_);
    const Text body = "r=/account/index.html&loginName=" + FormEscape(id) +
                      "&loginPassword=" + FormEscape(password) + "&x=54&y=13";
    PostForm(web_, secureBase_ + "/account/login.html", body, {.secure = true});
    if (!ExtractRedirect(web_.lastResponse().HeaderBlocks, loginTarget_)) {
      context_.ShowMessage(Text(texts::kLoginFailed));
      return false;
    }
    GetPage(web_, loginTarget_);
    return true;
  }

  // The personal album: the first album link followed closely by the personal album's image; a link
  // on the album's own page after that place, when there is one, takes its place.
  bool FindAlbum() {
    const Text albumLink = "<a href=\"" + secureBase_ + "/album/photo_upload.html?web_album_id=";
    Text unused;
    GetPage(web_, secureBase_ + "/album/upload.html", {.secure = true});
    const int offset =
        ExtractPair(web_.lastResponse().BodyChunks, albumLink, "\"><img src=\"/common/img/personal",
                    kAlbumLinkGap, " alt=", albumId_, unused, 0);
    GetPage(web_, AlbumPage(), {.secure = true});
    ExtractPair(web_.lastResponse().BodyChunks, albumLink, "\">", kAlbumLinkGap, "</a></div>", albumId_,
                unused, offset);
    return true;
  }

  Text Upload(std::size_t item) {
    const std::string& path = context_.uploadList()[item].path;
    const Text form = AlbumPage() + "&swfup=false";
    GetPage(web_, form, {.secure = true});
    ExtractBetween(web_.lastResponse().BodyChunks, "<input type=\"hidden\" name=\"web_album_id\" value=\"",
                   '"', albumField_);
    if (!web_.SendUpload(UploadSender::kOlio, form, RequestFlags(true), std::nullopt, path,
                         {{"web_album_id", albumField_}})) {
      return StatusFailed();
    }
    return PageContains(web_.lastResponse().BodyChunks, "img src=\"/common/img/album/phup-h2-001.gif\"")
               ? StatusSuccess()
               : StatusFailed();
  }

 private:
  Text AlbumPage() const { return secureBase_ + "/album/photo_upload.html?web_album_id=" + albumId_; }

  DriverContext& context_;
  WebClient& web_;
  const Text siteUrl_;
  const Text secureBase_;
  Text loginTarget_, albumId_, albumField_;
};

}  // namespace

void UploadToOlio(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password) {
  OlioRun run(context, siteUrl);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = [&] { return run.FindAlbum(); },
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = nullptr});
}

}  // namespace wharfling
