#pragma once
// Shows a screening's outcome in the dialog: the file list's columns and rows, the title, the
// progress range, the destination button's state and the start-up message boxes.

#include "session/screening.h"
#include "session/settings.h"
#include "ui/dialog_view.h"
#include "ui/file_list.h"

namespace wharfling {

void ShowScreening(const ScreeningResult& result, const DialogSettings& settings, FileList& fileList,
                   DialogView& view);

// True when both ID and password are set; shows the destination button when true, hides it
// otherwise, and never changes whether it is enabled.
bool HasAccount(const Text& id, const Text& password, DialogView& view);

}  // namespace wharfling
