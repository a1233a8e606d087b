#include <atomic>

#include "server/engine/form_decoding.h"
#include "tests/support/fake_sites.h"

namespace wharfling::testing {
namespace {

constexpr const char* kWebHost = "www.snapfish.example";
constexpr const char* kUploadHost = "upload.snapfish.example";
constexpr std::string_view kWelcome = "https://www.snapfish.example/welcome";

Reply Login(RouteSite& site, const SiteRequest& request) {
  if (!request.secure || !site.CarriesAccount(request, "emailaddress", "password")) {
    return RouteSite::PageReply("<p>The e-mail address or password is not right.</p>");
  }
  if (site.On("lowercase-location")) {
    return site.SignIn(Reply::Make("HTTP/1.1 302 Found", "location: " + std::string(kWelcome) + "\r\n", ""));
  }
  if (site.On("content-location")) {
    return site.SignIn(
        RouteSite::PageReply("<p>welcome</p>", "Content-Location: " + std::string(kWelcome) + "\r\n"));
  }
  return site.SignIn(RouteSite::RedirectReply(kWelcome));
}

// Posts of the album set-up carry the basic-uploader choice.
Answer BasicOnly(std::string html) {
  return [html = std::move(html)](RouteSite&, const SiteRequest& request) {
    return RouteSite::PageReply(request.http.body == "UseBasic=false" ? html : "<p>choose an uploader</p>");
  };
}

}  // namespace

std::unique_ptr<RouteSite> MakeFakeSnapfish(const SiteAccount& account) {
  class FakeSnapfish : public RouteSite {
   public:
    explicit FakeSnapfish(const SiteAccount& account) : RouteSite({kWebHost, kUploadHost}, account) {
      const std::string album = "/AlbumID=AL42/AlbumCaption=MultiUploader/t_=TK7";
      SetWalk(
          {.start = {"GET /login", "POST /loginsubmit", "GET /welcome", "GET /home",
                     "GET /uploadprobe/t_=TK7", "POST /selectalbumupload/t_=TK7", "GET /uploadprobe" + album,
                     "POST /uploadinstallmain" + album},
           .photo = {"GET /htmlupload/AlbumID=AL42/t_=TK7",
                     "POST /uploadimagebasic.suup?authcode=ac-{n}&Src=HTM&SequenceNumber=0&ExpectedImages=1&"
                     "IsDeveloperOn=N&HOST_NAME=http://www.snapfish.example&AlbumCaption=multiuploader&"
                     "isFromFlexUpload=%20true"}});
      Serve({
          {"GET", "/login", false,
           PageAnswer("<form action=\"https://www.snapfish.example/loginsubmit\"></form>"), kWebHost},
          {"POST", "/loginsubmit", false, Login, kWebHost},
          {"GET", "/welcome", true,
           PageAnswer("<script>document.location.href = \"http://www.snapfish.example/home\";</script>"),
           kWebHost},
          {"GET", "/home", true,
           PageAnswer("<td id=\"upload\"><a href=\"/uploadprobe/t_=TK7\">Upload</a></td>"), kWebHost},
          {"GET", "/uploadprobe/t_=TK7", true, PageAnswer("<p>probe</p>"), kWebHost},
          {"POST", "/selectalbumupload/t_=TK7", true, BasicOnly("lm.setURLParameter(\"AlbumID\", \"AL42\");"),
           kWebHost},
          {"GET", "/uploadprobe" + album, true, PageAnswer("<p>probe</p>"), kWebHost},
          {"POST", "/uploadinstallmain" + album, true,
           BasicOnly("<script>document.location.href = '/htmlupload/AlbumID=AL42/t_=TK7';</script>"),
           kWebHost},
          {"GET", "/htmlupload/AlbumID=AL42/t_=TK7", true,
           [this](RouteSite& site, const SiteRequest&) { return UploadPage(site); }, kWebHost},
          {"POST", "/uploadimagebasic.suup", false,
           [this](RouteSite& site, const SiteRequest& request) { return ReceivePhoto(site, request); },
           kUploadHost},
      });
    }

   private:
    // Every visit of the upload page hands out a new authcode, good for one upload.
    Reply UploadPage(RouteSite& site) {
      const std::string gap = site.On("authcode-far") ? std::string(71, ' ') : "";
      return PageReply("<script>var target = \"http://upload.snapfish.example/uploadimagebasic.suup\";" +
                       gap + " send('ac-" + std::to_string(++issued_) + "');</script>");
    }

    Reply ReceivePhoto(RouteSite& site, const SiteRequest& request) {
      const auto upload = site.Receive(request);
      const std::string authcode = server::FindFormField(request.Query(), "authcode").value_or("");
      const bool fresh =
          authcode == "ac-" + std::to_string(issued_.load()) && used_.exchange(issued_) != issued_;
      return PageReply(std::string("<input type=\"hidden\" name=\"FAILED_UPLOADS\" value=\"") +
                       (fresh ? "" : upload.fileName) + "\">");
    }

    std::atomic<int> issued_{0};
    std::atomic<int> used_{0};
  };
  return std::make_unique<FakeSnapfish>(account);
}

}  // namespace wharfling::testing
