#pragma once
// A hook for unattended pictures of the windows (scripts/screenshot.sh): with
// WHARFLING_DESKTOP_SNAPSHOT=upload:FILE the program presses the destination button, waits for the
// run to end, saves the window to FILE and closes; with chooser:FILE it saves the site chooser
// as it opens (second entry selected) and ends; with open:FILE it saves the window as it opens,
// prints its rows ("row: NAME<TAB>SIZE") on stdout and ends. Message boxes are printed instead of shown, and
// a hook that has not finished within a minute ends the program with status 1.

#include <optional>
#include <string>

#include "platform/qt/qt_dialog_view.h"

namespace wharfling::qt {
class DesktopDialog;
}

namespace wharfling::desktop {

struct SnapshotHook {
  enum class Kind { kUpload, kChooser, kOpen };
  Kind kind;
  std::string file;
};

// The hook the environment asks for, if any.
std::optional<SnapshotHook> SnapshotHookFromEnvironment();

// Modal parts that answer themselves and take the chooser's picture.
qt::QtDialogView::Modals SnapshotModals(const SnapshotHook& hook);

// Arms the hook on a dialog that has finished its start-up.
void ArmSnapshotHook(const SnapshotHook& hook, qt::DesktopDialog& dialog);

}  // namespace wharfling::desktop
