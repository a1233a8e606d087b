#include "sites/upload_run.h"

#include "sites/status_texts.h"

namespace wharfling {
namespace {

// The sign-out after a cancel still goes out, but a stuck site cannot hold the end of the run.
void SignOutAfterCancel(WebClient& web, const std::function<void()>& signOut) {
  const CancelRequest* cancel = web.cancelRequest();
  const auto deadline = web.deadline();
  web.SetCancelRequest(nullptr);
  web.SetDeadline(std::chrono::steady_clock::now() + kSignOutLimitAfterCancel);
  signOut();
  web.SetCancelRequest(cancel);
  web.SetDeadline(deadline);
}

}  // namespace

void RunUpload(DriverContext& context, const UploadSteps& steps) {
  WebClient& web = context.web();
  context.ReadControls();
  context.SetControlsEnabled(false);
  // A cancel during the sign-in ends the run as a refused sign-in does.
  if (!steps.signIn() || context.CancelRequested()) {
    context.SetControlsEnabled(true);
    return;
  }
  if (!steps.prepare || steps.prepare()) {
    context.ResetDoneCount();
    const UploadList& files = context.uploadList();
    for (std::size_t item = 0; item < files.size() && !context.CancelRequested(); ++item) {
      if (steps.skipFile && steps.skipFile(item)) continue;
      web.ClearTrouble();
      std::optional<Text> status = steps.uploadFile(item);
      const WebClient::Trouble trouble = web.trouble();
      // A reply to a send that broke off says nothing of the photo, whatever the site's page says.
      if (status && trouble.incompleteSend && *status == StatusSuccess()) status = StatusFailed();
      if (status) {
        context.SetItemStatus(item, *status);
        if (*status != StatusSuccess() && !trouble.reason.empty())
          context.NoteItemTrouble(item, trouble.reason);
      }
      context.AdvanceProgress();
      context.RefreshControls();
    }
  }
  if (steps.signOut) {
    if (context.CancelRequested()) {
      SignOutAfterCancel(web, steps.signOut);
    } else {
      steps.signOut();
    }
  }
  context.SaveSettings();
  context.SetControlsEnabled(true);
  context.RefreshControls();
}

}  // namespace wharfling
