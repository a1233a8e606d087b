// Parvault: the maker's storage service (destination 1) and its in-house server (destination 2).
// Both answer the same pages below the site URL and differ only in their login form.

#include "session/file_bytes.h"
#include "sites/form_escape.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "sites/upload_run.h"
#include "web/page_tools.h"
#include "web/request.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

Text LoginBody(std::int32_t uid, const Text& id, const Text& password) {
  Text body = "username=" + FormEscape(id) + "&password=" + FormEscape(password);
  if (uid == 1) {
    body += "&login=";
    body += texts::kParvaultLoginButton;
    body += "&Image1.x=35&Image1.y=14";
  } else {
    body += "&x=52&y=15";
  }
  return body;
}

bool Get(WebClient& web, const Text& url, AccessMode access) {
  return web.HttpExchange(Msie6Profile(), url, Method::kGet, kFlagNoAutoRedirect, "", std::nullopt, access);
}

// Signs in; false (after telling the user) when the run must end.
bool SignIn(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password) {
  WebClient& web = context.web();
  Get(web, siteUrl, AccessMode::kDirect);
  const Text referer = "Referer: " + siteUrl + "/INDEX.HTM";
  if (!web.HttpExchange(Msie6Profile(), siteUrl + "/logincheck2.asp", Method::kPost, kFlagNoAutoRedirect,
                        LoginBody(context.uid(), id, password), referer, AccessMode::kDirect)) {
    context.ShowMessage(Text(texts::kAccountNotSent));
    return false;
  }
  Text loginTarget;
  if (!ExtractRedirect(web.lastResponse().HeaderBlocks, loginTarget) ||
      EqualsIgnoreCase(loginTarget, "Error.ASP")) {
    context.ShowMessage(Text(texts::kParvaultLoginFailed));
    return false;
  }
  Get(web, siteUrl + "/" + loginTarget, AccessMode::kSystemSettings);
  return true;
}

// The status of one upload, or nothing when the server refused it without a readable reason.
std::optional<Text> UploadStatus(WebClient& web, const Text& siteUrl) {
  Text refusalTarget;
  if (ExtractRedirect(web.lastResponse().HeaderBlocks, refusalTarget)) {
    Get(web, siteUrl + "/" + refusalTarget, AccessMode::kDirect);
    // A reason never holds "<" (it ends there), so an unchanged "<" means none was read: the
    // marker is missing or nothing closes it.
    Text reason = "<";
    ExtractMessage(web.lastResponse().BodyChunks, reason);
    if (reason == "<") return std::nullopt;
    return StatusFailedWithReason(reason);
  }
  return FinalStatusIs200Ok(web.lastResponse().HeaderBlocks) ? StatusSuccess() : StatusFailed();
}

}  // namespace

void UploadToParvault(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password) {
  WebClient& web = context.web();
  const Text uploadAddress = siteUrl + "/InsertFile.asp";
  const UploadList& files = context.uploadList();
  RunUpload(context,
            {.signIn = [&] { return SignIn(context, siteUrl, id, password); },
             .prepare = nullptr,
             .uploadFile =
                 [&](std::size_t item) {
                   const bool sent = web.SendUpload(UploadSender::kParvault, uploadAddress,
                                                    kFlagNoAutoRedirect, std::nullopt, files[item].path);
                   return sent ? UploadStatus(web, siteUrl) : StatusFailed();
                 },
             .signOut =
                 [&] {
                   Get(web, siteUrl + "/logout2.asp?user=" + QueryEscape(id) + "&pw=" + QueryEscape(password),
                       AccessMode::kSystemSettings);
                 },
             // A file that has grown past the limit since the screening is skipped without a trace,
             // unless it is to be shrunk to fit.
             .skipFile =
                 [&](std::size_t item) {
                   std::uint64_t size = 0;
                   return ReadFileBytes(files[item].path, size) && size > context.maxFileSize() &&
                          !web.ShrinksToFit();
                 }});
}

}  // namespace wharfling
