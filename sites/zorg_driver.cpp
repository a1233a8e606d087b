// Zorg: signs in through the login form, then opens a fresh upload form for every photo and posts
// the photo to the form's own target with its hidden values. No sign-out, no message box.

#include "sites/form_escape.h"
#include "sites/page_requests.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

class ZorgRun {
 public:
  ZorgRun(DriverContext& context, const Text& siteUrl)
      : context_(context), web_(context.web()), siteUrl_(siteUrl) {}

  bool SignIn(const Text& id, const Text& password) {
    GetPage(web_, siteUrl_);
    const Text body =
        "lid=" + FormEscape(id) + "&lpw=" + FormEscape(password) + "&m=login&to=&submit1.x=19&submit1.y=5";
    PostForm(web_, siteUrl_ + "/login", body, {.extraHeader = RefererLine(siteUrl_ + "/")});
    if (PageContains(web_.lastResponse().BodyChunks, "/pub/mytop")) return true;
    if (ExtractRedirect(web_.lastResponse().HeaderBlocks, loginTarget_)) {
      GetPage(web_, loginTarget_);
      return true;
    }
    context_.RefreshControls();
    return false;
  }

  Text Upload(std::size_t item) {
    const std::string& path = context_.uploadList()[item].path;
    // The form target starts as the form page's own address and stays so when the page lacks it.
    formTarget_ = siteUrl_ + "/ctr/upbrow";
    GetPage(web_, formTarget_);
    const ChunkList& page = web_.lastResponse().BodyChunks;
    ExtractBetween(page, "<input name=\"uk\" type=\"hidden\" value=\"", '"', uk_);
    ExtractBetween(page, "<input name=\"c\" type=\"hidden\" value=\"", '"', c_);
    ExtractBetween(page, "<input name=\"m\" type=\"hidden\" value=\"", '"', m_);
    ExtractBetween(page, "<form onsubmit=\"submitOnce(this);\" name=\"form1\" method=\"post\" action=\"", '"',
                   formTarget_);
    if (!web_.SendUpload(UploadSender::kZorg, formTarget_, RequestFlags(false), std::nullopt, path,
                         {{"uk", uk_}, {"c", c_}, {"m", m_}})) {
      return StatusFailed();
    }
    Text redirect;
    if (ExtractRedirect(web_.lastResponse().HeaderBlocks, redirect)) {
      GetPage(web_, redirect);
      return StatusSuccess();
    }
    if (PageContains(web_.lastResponse().BodyChunks, texts::kZorgMonthlyLimit)) {
      return StatusFailedWithReason(Text(texts::kZorgMonthlyLimitReason));
    }
    return StatusFailed();
  }

 private:
  DriverContext& context_;
  WebClient& web_;
  const Text siteUrl_;
  Text loginTarget_, uk_, c_, m_, formTarget_;
};

}  // namespace

void UploadToZorg(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password) {
  ZorgRun run(context, siteUrl);
  RunUpload(context, {.signIn = [&] { return run.SignIn(id, password); },
                      .prepare = nullptr,
                      .uploadFile = [&](std::size_t item) { return run.Upload(item); },
                      .signOut = nullptr});
}

}  // namespace wharfling
