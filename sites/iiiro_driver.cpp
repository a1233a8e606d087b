// iiiro: signs in, learns the upload session id from the first album's page, then posts each photo
// to the upload script and walks the progress pages the site's own upload page calls, ending with
// the request that adds the image to the album. Every request goes over the secure channel.

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

constexpr std::string_view kAlbum = "00000001";

// The name without its extension: what the site shows as the image's name.
Text TitleOf(const Text& displayName) {
  const auto dot = displayName.rfind('.');
  return dot == Text::npos ? displayName : displayName.substr(0, dot);
}

class IiiroRun {
 public:
  IiiroRun(DriverContext& context, const Text& siteUrl)
      : context_(context),
        web_(context.web()),
        siteUrl_(siteUrl),
        fixedBase_("https://" + context.endpoints().Host("iiiro.web")),
        albumPage_(fixedBase_ + "/album/photo.php?AID=" + Text(kAlbum)),
        referer_(RefererLine(albumPage_)) {}

  bool SignIn(const Text& id, const Text& password) {
    GetPage(web_, siteUrl_ + "/index.php", kSecure);
    PostForm(web_, siteUrl_ + "/login/index.php",
             "textfield=" + FormEscape(id) + "&textfield2=" + FormEscape(password), kSecure);
    GetPage(web_, siteUrl_ + "/index.php", kSecure);
    GetPage(web_, siteUrl_ + "/album/photo.php?AID=" + Text(kAlbum), kSecure);
    // The upload form's address carries the session id, so it also shows that the sign-in worked.
    if (!ExtractBetween(web_.lastResponse().BodyChunks, " action='/upload/upload.cgi?sid=", '\'',
                        sessionId_)) {
      context_.ShowMessage(Text(texts::kLoginFailed));
      return false;
    }
    return true;
  }

  Text Upload(std::size_t item) {
    const UploadItem& file = context_.uploadList()[item];
    const PageOptions followUp{.secure = true, .extraHeader = referer_};
    const bool sent = web_.SendUpload(UploadSender::kIiiro, siteUrl_ + "/upload/upload.cgi?sid=" + sessionId_,
                                      RequestFlags(true), referer_, file.path,
                                      {{"aid", kAlbum}, {"upload_image_name", TitleOf(file.displayName)}});
    const Text progress = siteUrl_ + "/upload/upload_progress.php?sid=" + sessionId_;
    GetPage(web_, progress + "&filename=" + file.displayName + "&time=1217691675578", followUp);
    GetPage(web_, progress + "&time=1217691675578", followUp);
    GetPage(web_, siteUrl_ + "/upload/upload_add_image.php?sid=" + sessionId_ + "&time=1217691676578",
            followUp);
    // A photo whose post got no answer failed, whatever the site says about the album afterwards.
    if (!sent) return StatusFailed();
    return PageContains(web_.lastResponse().BodyChunks, "img src=\"/common/img/album/phup-h2-001.gif\"")
               ? StatusSuccess()
               : StatusFailed();
  }

  void SignOut() { GetPage(web_, fixedBase_ + "/logout/", kSecure); }

 private:
  static constexpr PageOptions kSecure{.secure = true};

  DriverContext& context_;
  WebClient& web_;
  const Text siteUrl_;
  const Text fixedBase_;
  const Text albumPage_;
  const Text referer_;
  Text sessionId_;
};

}  // namespace

void UploadToIiiro(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password) {
  IiiroRun run(context, siteUrl);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = nullptr,
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = [&] { run.SignOut(); }});
}

}  // namespace wharfling
