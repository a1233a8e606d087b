#include <atomic>

#include "server/engine/form_decoding.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

constexpr std::string_view kSessionId = "SID1";
constexpr std::string_view kAdded = "<img src=\"/common/img/album/phup-h2-001.gif\">";

// The site answers nothing over plain http.
Answer SecureOnly(Answer answer) {
  return [answer = std::move(answer)](RouteSite& site, const SiteRequest& request) {
    if (!request.secure) return RouteSite::PageReply("<p>https only</p>");
    return answer(site, request);
  };
}

Reply AlbumPage(RouteSite& site, const SiteRequest&) {
  // With "sid-unterminated" the form's address lost its closing apostrophe.
  const std::string close = site.On("sid-unterminated") ? "\"" : "'";
  return RouteSite::PageReply(
      "<html><body><form method='post' enctype='multipart/form-data' "
      "action='/upload/upload.cgi?sid=" +
      std::string(kSessionId) + close + "><input type=\"file\"></form></body></html>");
}

// Whether the post was a photo of the fixed album, named after its file and sent under the session.
bool WellFormed(const RouteSite::Upload& upload, const std::string& query) {
  std::string title = upload.fileName.substr(upload.fileName.find_last_of("/\\") + 1);
  title = title.substr(0, title.rfind('.'));
  return server::FindFormField(query, "sid") == kSessionId && upload.Field("aid") == "00000001" &&
         upload.Field("upload_image_name") == title && !upload.bytes.empty();
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakeIiiro(const SiteAccount& account) {
  class FakeIiiro : public RouteSite {
   public:
    explicit FakeIiiro(const SiteAccount& account) : RouteSite({"www.iiiro.example"}, account) {
      // Per photo: the post under the album page's session id, two progress queries (the first names
      // the file as it goes out) and the add-image page; the times are the page script's own.
      SetWalk({.start = {"GET /index.php", "POST /login/index.php", "GET /index.php",
                         "GET /album/photo.php?AID=00000001"},
               .photo = {"POST /upload/upload.cgi?sid=SID1",
                         "GET /upload/upload_progress.php?sid=SID1&filename={name}&time=1217691675578",
                         "GET /upload/upload_progress.php?sid=SID1&time=1217691675578",
                         "GET /upload/upload_add_image.php?sid=SID1&time=1217691676578"},
               .end = {"GET /logout/"}});
      Serve({
          {"GET", "/index.php", false, SecureOnly(PageAnswer("<form action='/login/index.php'></form>"))},
          {"POST", "/login/index.php", false, SecureOnly([](RouteSite& site, const SiteRequest& request) {
             if (!site.CarriesAccount(request, "textfield", "textfield2"))
               return PageReply("<p>login error</p>");
             return site.SignIn(PageReply("<p>welcome</p>"));
           })},
          {"GET", "/album/photo.php", true, SecureOnly(AlbumPage)},
          {"POST", "/upload/upload.cgi", true,
           SecureOnly([this](RouteSite& site, const SiteRequest& request) {
             if (WellFormed(site.Receive(request), request.Query())) ++pending_;
             return PageReply("<p>received</p>");
           })},
          {"GET", "/upload/upload_progress.php", true, SecureOnly(PageAnswer("<p>100%</p>"))},
          // Adds the photo that arrived since the last call; "always-added" claims success regardless.
          {"GET", "/upload/upload_add_image.php", true,
           SecureOnly([this](RouteSite& site, const SiteRequest&) {
             if (pending_ > 0)
               --pending_;
             else if (!site.On("always-added"))
               return PageReply("<p>no image</p>");
             return PageReply(std::string(kAdded));
           })},
          {"GET", "/logout/", true, SecureOnly(PageAnswer("<p>bye</p>"))},
      });
    }

   private:
    std::atomic<int> pending_{0};
  };
  return std::make_unique<FakeIiiro>(account);
}

}  // namespace wharfling::testing
