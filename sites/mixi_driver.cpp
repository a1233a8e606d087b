// Mixi: signs in through the login form, lets the user pick one of the account's albums, and adds
// every photo to it in two posts (the photo, then the confirmation form the site returns). Signs
// out on the web host, also when no album was chosen.

#include <vector>

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

class MixiRun {
 public:
  MixiRun(DriverContext& context, const Text& siteUrl)
      : context_(context),
        web_(context.web()),
        siteUrl_(siteUrl),
        webBase_("http://" + context.endpoints().Host("mixi.web")) {}

  bool SignIn(const Text& id, const Text& password) {
    GetPage(web_, siteUrl_);
    // The name of the hidden field whose value is "/home.pl" is what the login expects as next_url.
    Text nextUrlField;
    ExtractBetween(Page(), "<input type=\"hidden\" value=\"/home.pl\" name=\"", '"', nextUrlField);
    const Text body = "next_url=" + nextUrlField + "&email=" + FormEscape(id) +
                      "&password=" + FormEscape(password) + "&sticky=on&x=48&y=11";
    PostForm(web_, siteUrl_ + "/login.pl", body, {.extraHeader = RefererLine(webBase_ + "/")});
    // The exchange decodes the %2F, so the site sees n=/home.pl.
    GetPage(web_, siteUrl_ + "/check.pl?n=%2Fhome.pl");
    const ChunkList& headers = web_.lastResponse().HeaderBlocks;
    if (!ExtractRedirect(headers, loginTarget_) || !PageContains(headers, webBase_ + "/home.pl")) {
      context_.ShowMessage(Text(texts::kLoginFailed));
      return false;
    }
    GetPage(web_, loginTarget_);
    return true;
  }

  // Lists the albums and opens the one the user picks; false when none was picked.
  bool ChooseAlbum() {
    GetPage(web_, siteUrl_ + "/list_album.pl");
    std::vector<Text> albums;
    Text albumId, ownerAndTitle;
    for (int from = 0;;) {
      from = ExtractPair(Page(), "<td class=\"photo_title\"><a href=\"view_album.pl?id=", "&owner_id=", 20,
                         "</a></td", albumId, ownerAndTitle, from);
      if (from <= 0) break;
      albums.push_back(albumId);
    }
    const AlbumChoice choice = context_.ChooseAlbum(albums);
    if (choice.selectedIndex < 0) return false;
    albumId_ = choice.selectedText;
    GetPage(web_, siteUrl_ + "/view_album.pl?id=" + albumId_ + "&mode=photo");
    return true;
  }

  Text Upload(std::size_t item) {
    const std::string& path = context_.uploadList()[item].path;
    const Text address = siteUrl_ + "/add_album_photo.pl?id=" + albumId_;
    GetPage(web_, address);
    const bool photoSent =
        web_.SendUpload(UploadSender::kMixiPhoto, address, RequestFlags(false), std::nullopt, path);
    // No confirmation form came back, so the values are the previous file's: confirming them would
    // add that photo a second time.
    if (!photoSent) return StatusFailed();
    const bool refused = PageContains(Page(), "<div id=\"errorArea\">");
    // A missing value stays as the previous file left it.
    ExtractBetween(Page(), "<input type=\"hidden\" name=\"submit\" value=\"", '"', submit_);
    ExtractBetween(Page(), "<input type=\"hidden\" name=\"packed\" value=\"", '"', packed_);
    ExtractBetween(Page(), "<input type=\"hidden\" name=\"post_key\" value=\"", '"', postKey_);
    const bool confirmSent =
        web_.SendUpload(UploadSender::kMixiConfirm, address, RequestFlags(false), std::nullopt, "",
                        {{"submit", submit_}, {"packed", packed_}, {"post_key", postKey_}});
    // The error area is the site's only word on the photo; a post that never reached it is no success.
    return confirmSent && !refused ? StatusSuccess() : StatusFailed();
  }

  void SignOut() { GetPage(web_, webBase_ + "/logout.pl"); }

 private:
  const ChunkList& Page() const { return web_.lastResponse().BodyChunks; }

  DriverContext& context_;
  WebClient& web_;
  const Text siteUrl_, webBase_;
  Text loginTarget_, albumId_, submit_, packed_, postKey_;
};

}  // namespace

void UploadToMixi(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password) {
  MixiRun run(context, siteUrl);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = [&] { return run.ChooseAlbum(); },
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = [&] { run.SignOut(); }});
}

}  // namespace wharfling
