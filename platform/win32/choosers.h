#pragma once
// The site chooser (template 211, an icon list) and the album chooser (template 239, a plain list).
// A double-click on a row chooses it; OK and キャンセル close without a choice. Both are plain push
// buttons in a strip below the list.

#include <windows.h>

#include <vector>

#include "ui/dialog_view.h"

namespace wharfling::win32 {

// The icon resources of the site chooser's entries, in entry order.
inline constexpr int kSiteIconIds[] = {224, 225, 228, 227, 226, 229, 250, 255, 253, 257, 264, 258, 263};

ChooserOutcome RunSiteChooserDialog(HINSTANCE module, const std::vector<Text>& entries);
ChooserOutcome RunAlbumChooserDialog(HINSTANCE module, const std::vector<Text>& albums);

}  // namespace wharfling::win32
