#include <algorithm>
#include <atomic>

#include "server/engine/form_decoding.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

constexpr std::string_view kErrorPage = "<div id=\"errorArea\">The photo could not be added.</div>";

std::string AlbumRow(const std::string& id, const std::string& title) {
  return "<tr><td class=\"photo_title\"><a href=\"view_album.pl?id=" + id + "&owner_id=77\">" + title +
         "</a></td></tr>";
}

Reply AlbumList(RouteSite& site, const SiteRequest&) {
  std::string rows;
  if (site.On("long-album-id")) rows += AlbumRow("123456789012345678901", "Too long");
  if (site.On("album-twice")) rows += AlbumRow("1001", "Trip (latest)");
  if (!site.On("no-albums")) rows += AlbumRow("1001", "Trip") + AlbumRow("1002", "Cats");
  return RouteSite::PageReply("<table>" + rows + "</table>");
}

bool KnownAlbum(const SiteRequest& request) {
  const std::string id = server::FindFormField(request.Query(), "id").value_or("");
  return id == "1001" || id == "1002";
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakeMixi(const SiteAccount& account) {
  class FakeMixi : public RouteSite {
   public:
    explicit FakeMixi(const SiteAccount& account) : RouteSite({"mixi.example"}, account) {
      // A run into album 1002; each photo is a visit of the add-photo form, the photo's post and its
      // confirmation's post. A run without an album goes from the album list to the sign-out.
      SetWalk({.start = {"GET /", "POST /login.pl", "GET /check.pl?n=/home.pl", "GET /home.pl",
                         "GET /list_album.pl", "GET /view_album.pl?id=1002&mode=photo"},
               .photo = {"GET /add_album_photo.pl?id=1002", "POST /add_album_photo.pl?id=1002",
                         "POST /add_album_photo.pl?id=1002"},
               .end = {"GET /logout.pl"}});
      Serve({
          {"GET", "/", false,
           [](RouteSite& site, const SiteRequest&) {
             return PageReply(site.On("no-next-url")
                                  ? "<form action=\"/login.pl\"></form>"
                                  : "<form action=\"/login.pl\"><input type=\"hidden\" value=\"/home.pl\" "
                                    "name=\"next_url\"></form>");
           }},
          {"POST", "/login.pl", false,
           [](RouteSite& site, const SiteRequest& request) {
             if (!site.CarriesAccount(request, "email", "password")) return PageReply("<p>wrong</p>");
             return site.SignIn(PageReply("<p>signing in</p>"));
           }},
          {"GET", "/check.pl", true, RedirectAnswer("http://mixi.example/home.pl")},
          {"GET", "/home.pl", true, PageAnswer("<p>home</p>")},
          {"GET", "/list_album.pl", true, AlbumList},
          {"GET", "/view_album.pl", true, PageAnswer("<p>album</p>")},
          {"GET", "/add_album_photo.pl", true, PageAnswer("<form enctype=\"multipart/form-data\"></form>")},
          {"POST", "/add_album_photo.pl", true,
           [this](RouteSite& site, const SiteRequest& request) { return AddPhoto(site, request); }},
          {"GET", "/logout.pl", false, PageAnswer("<p>signed out</p>")},
      });
    }

   private:
    // The photo post answers with a confirmation form; only its confirmation adds the photo.
    Reply AddPhoto(RouteSite& site, const SiteRequest& request) {
      const auto parts = ParseMultipart(request.http.body);
      const bool isPhoto = std::any_of(parts.begin(), parts.end(),
                                       [](const FormPart& part) { return part.fileName.has_value(); });
      if (isPhoto) {
        if (site.On("drop-second-photo") && ++photoPosts_ == 2) return Reply::CloseWithoutReply();
        if (site.On("refuse-photos") || !KnownAlbum(request)) return PageReply(kErrorPage);
        site.Receive(request);
        const std::string n = std::to_string(site.UploadCount());
        return PageReply(
            "<form><input type=\"hidden\" name=\"submit\" value=\"confirm\">"
            "<input type=\"hidden\" name=\"packed\" value=\"pk-" +
            n + "\"><input type=\"hidden\" name=\"post_key\" value=\"key-" + n + "\"></form>");
      }
      if (site.On("drop-confirmation")) return Reply::CloseWithoutReply();
      const RouteSite::Upload confirmation{request.Path(), parts, {}, {}};
      const int pending = static_cast<int>(site.UploadCount());
      const std::string n = std::to_string(pending);
      if (confirmation.Field("submit") != "confirm" || confirmation.Field("packed") != "pk-" + n ||
          confirmation.Field("post_key") != "key-" + n || confirmed_.exchange(pending) == pending) {
        return PageReply(kErrorPage);
      }
      return PageReply("<p>The photo was added.</p>");
    }

    std::atomic<int> confirmed_{0};
    std::atomic<int> photoPosts_{0};
  };
  return std::make_unique<FakeMixi>(account);
}

}  // namespace wharfling::testing
