#include "server/engine/form_decoding.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

const std::string kAlbumLink = "<a href=\"https://www.olio.example/album/photo_upload.html?web_album_id=";

std::string AlbumEntry(const std::string& id, const std::string& image) {
  return "<div>" + kAlbumLink + id + "\"><img src=\"/common/img/" + image + ".gif\" alt=\"" + image + "\">" +
         id + "</a></div>\n";
}

std::string AlbumOf(const SiteRequest& request) {
  return std::string(server::FindFormField(request.Query(), "web_album_id").value_or(""));
}

// The album list: a shared album, then the personal one (with "personal-past-gap", first a personal
// link whose image starts too far from the link to count).
Reply AlbumList(RouteSite& site, const SiteRequest&) {
  std::string page = "<html><body>\n" + AlbumEntry("A100", "shared");
  if (site.On("personal-past-gap"))
    page += AlbumEntry("P1&amp;from=albumlist&amp;sort=newest&amp;view=thumbnails&amp;page=1&amp;per=20",
                       "personal");
  return RouteSite::PageReply(page + AlbumEntry("A200", "personal") + "</body></html>");
}

// One album's page: without "swfup=false" the album's own header (with "later-album", a list of
// further albums after a long introduction); with it, the plain upload form.
Reply AlbumPage(RouteSite& site, const SiteRequest& request) {
  const std::string album = AlbumOf(request);
  if (request.Query().find("&swfup=false") == std::string::npos) {
    std::string page = "<html><body><h2>" + album + "</h2>\n";
    if (site.On("later-album")) page += std::string(400, ' ') + AlbumEntry("A300", "shared");
    return RouteSite::PageReply(page + "</body></html>");
  }
  return RouteSite::PageReply(
      "<html><body><form method=\"post\" enctype=\"multipart/form-data\">"
      "<input type=\"hidden\" name=\"web_album_id\" value=\"" +
      album + "\"><input type=\"file\" name=\"filedata[0]\"></form></body></html>");
}

Reply ReceivePhoto(RouteSite& site, const SiteRequest& request) {
  const auto upload = site.Receive(request);
  const std::string album = AlbumOf(request);
  if (album.empty() || upload.Field("web_album_id") != album || upload.bytes.empty()) {
    return RouteSite::PageReply("<p>Please choose an album.</p>");
  }
  return RouteSite::PageReply("<h2><img src=\"/common/img/album/phup-h2-001.gif\" alt=\"uploaded\"></h2>");
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakeOlio(const SiteAccount& account) {
  class FakeOlio : public RouteSite {
   public:
    explicit FakeOlio(const SiteAccount& account) : RouteSite({"www.olio.example"}, account) {
      // A run into the personal album, A200, through its plain upload form.
      SetWalk({.start = {"GET /", "POST /account/login.html", "GET /account/index.html",
                         "GET /album/upload.html", "GET /album/photo_upload.html?web_album_id=A200"},
               .photo = {"GET /album/photo_upload.html?web_album_id=A200&swfup=false",
                         "POST /album/photo_upload.html?web_album_id=A200&swfup=false"}});
      Serve({
          {"GET", "/", false,
           PageAnswer("<html><a href=\"https://www.olio.example/account/\">login</a></html>")},
          {"POST", "/account/login.html", false,
           [](RouteSite& site, const SiteRequest& request) {
             if (!request.secure || !site.CarriesAccount(request, "loginName", "loginPassword")) {
               return PageReply("<p>Wrong login name or password.</p>");
             }
             return site.SignIn(RedirectReply("http://www.olio.example/account/index.html"));
           }},
          {"GET", "/account/index.html", true, PageAnswer("<p>my page</p>")},
          {"GET", "/album/upload.html", true, AlbumList},
          {"GET", "/album/photo_upload.html", true, AlbumPage},
          {"POST", "/album/photo_upload.html", true, ReceivePhoto},
      });
    }
  };
  return std::make_unique<FakeOlio>(account);
}

}  // namespace wharfling::testing
