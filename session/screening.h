#pragma once
// Screens the dropped paths into the upload list, the file list's rows, the title, the progress
// range, the destination button's state and the start-up messages.

#include <cstdint>
#include <string>
#include <vector>

#include "session/settings.h"
#include "session/upload_list.h"
#include "text/text_codec.h"
#include "ui/dialog_view.h"
#include "ui/file_list.h"

namespace wharfling {

struct ScreeningResult {
  UploadList uploadList;
  std::uint64_t totalBytes = 0;
  bool blocked = false;
};

ScreeningResult ScreenDroppedFiles(const std::vector<std::string>& droppedPaths,
                                   const DialogSettings& settings, const TextCodec& codec, FileList& fileList,
                                   DialogView& view);

// True when both ID and password are set; shows the destination button when true, hides it
// otherwise, and never changes whether it is enabled.
bool HasAccount(const Text& id, const Text& password, DialogView& view);

}  // namespace wharfling
