#pragma once
// What a site driver may use of the upload dialog during a run, and of the web.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "session/endpoints.h"
#include "session/upload_list.h"
#include "text/text.h"
#include "web/web_client.h"

namespace wharfling {

struct AlbumChoice {
  int selectedIndex = -1;  // -1: no album chosen
  Text selectedText;
};

class DriverContext {
 public:
  virtual ~DriverContext() = default;

  virtual bool ReadControls() = 0;
  virtual void RefreshControls() = 0;
  // Enables or disables the destination button (also shown or hidden), ID, password, list, Cancel.
  virtual void SetControlsEnabled(bool enabled) = 0;
  // Writes status into column 2 of the row that carries the item.
  virtual void SetItemStatus(std::size_t item, const Text& status) = 0;
  // Why the item's exchanges failed, in the transport's words, for the front end's report (the row's
  // text stays what the driver wrote).
  virtual void NoteItemTrouble(std::size_t item, const std::string& reason) = 0;
  virtual void ResetDoneCount() = 0;
  // doneCount + 1, and the progress bar moves to it.
  virtual void AdvanceProgress() = 0;
  // Stores the selection, the ID and the password.
  virtual void SaveSettings() = 0;
  virtual void ShowMessage(const Text& text) = 0;
  // Whether the user asked the run to stop; the shared run checks it before each file.
  virtual bool CancelRequested() const = 0;
  virtual AlbumChoice ChooseAlbum(const std::vector<Text>& albums) = 0;
  // Copies the current page and header texts into the dialog's two hidden panes.
  virtual void KeepLastResponse() = 0;
  virtual const Text& lastPageText() const = 0;
  virtual const Text& lastHeaderText() const = 0;

  virtual std::int32_t uid() const = 0;
  virtual std::uint32_t maxFileSize() const = 0;
  virtual const UploadList& uploadList() const = 0;

  virtual WebClient& web() = 0;
  virtual const EndpointTable& endpoints() const = 0;
};

// A driver walks one site for one run: site URL, ID, password, in that order.
using SiteDriver = void (*)(DriverContext& context, const Text& siteUrl, const Text& id,
                            const Text& password);

}  // namespace wharfling
