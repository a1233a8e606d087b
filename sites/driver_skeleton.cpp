#include "sites/driver_skeleton.h"

namespace wharfling {

void RunDriver(DriverContext& context, const DriverSteps& steps) {
  context.ReadControls();
  context.SetControlsEnabled(false);
  if (!steps.signIn()) {
    context.SetControlsEnabled(true);
    return;
  }
  if (!steps.prepare || steps.prepare()) {
    context.ResetDoneCount();
    const UploadList& files = context.uploadList();
    for (std::size_t item = 0; item < files.size() && !context.CancelRequested(); ++item) {
      if (steps.skipFile && steps.skipFile(item)) continue;
      if (const std::optional<Text> status = steps.uploadFile(item)) context.SetItemStatus(item, *status);
      context.AdvanceProgress();
      context.RefreshControls();
    }
  }
  if (steps.signOut) steps.signOut();
  context.SaveSettings();
  context.SetControlsEnabled(true);
  context.RefreshControls();
}

}  // namespace wharfling
