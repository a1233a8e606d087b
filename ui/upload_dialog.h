#pragma once
// The upload dialog's logic: start-up, the account edits, data exchange with the controls, the
// destination button and the operations the site drivers use during a run.

#include <cstdint>
#include <string>
#include <vector>

#include "session/cancel_request.h"
#include "session/endpoints.h"
#include "session/screening.h"
#include "session/settings.h"
#include "session/settings_store.h"
#include "session/upload_list.h"
#include "sites/driver_context.h"
#include "text/text_codec.h"
#include "ui/dialog_view.h"
#include "ui/file_list.h"
#include "web/web_client.h"

namespace wharfling {

// The maker's web address, the target of the label at the foot of the dialog.
inline constexpr std::string_view kMakerAddress = "http://www.orsolan.example/";
inline constexpr std::size_t kTargetDirLimit = 258;

// The services a dialog needs from its surroundings.
struct DialogServices {
  SettingsStore& store;
  const EndpointTable& endpoints;
  const TextCodec& codec;
  WebClient& web;
};

class UploadDialog final : private DriverContext {
 public:
  UploadDialog(const std::vector<std::string>& droppedPaths, DialogView& view, DialogServices services);

  // Start-up: settings, the optional site chooser, screening, caption, label, controls. Without
  // allowSiteChooser the chooser is not offered even when the settings ask for it (a preview).
  void Initialize(bool allowSiteChooser = true);
  // The ID or password edit changed.
  void OnAccountEdited();
  // The destination button: runs the selected destination's driver.
  void StartUpload();
  // Asks the run in progress to stop: the exchange in flight fails, the run signs out; safe from any thread
  // or a signal handler. A run that ends clears the request.
  void RequestCancel() noexcept { cancel_.Request(); }
  CancelRequest& cancelRequest() noexcept { return cancel_; }
  // Keeps Cancel enabled during runs, for front ends that let the user stop one.
  void KeepCancelEnabledDuringRuns() { keepCancelEnabled_ = true; }
  // OK (the Enter key): true when the dialog ends. Cancel always ends it. Neither saves.
  bool OnOk();
  // The photo options' check boxes: kept in the profile at once, used from the next run on.
  void SetPhotoOptions(bool fit, bool noLocation);
  // Whether this platform carries out the photo options (it has an adapter for them).
  bool CanPreparePhotos() const { return services_.web.CanPreparePhotos(); }
  // Whether the destination button can be pressed: something to upload and an account.
  bool CanStartUpload() const;

  bool ReadControls() override;
  void RefreshControls() override;

  const DialogSettings& settings() const { return settings_; }
  const UploadList& uploadList() const override { return uploadList_; }
  const FileList& fileList() const { return fileList_; }
  bool blocked() const { return blocked_; }
  // The dropped paths the screening left out, with their reasons, in drop order.
  const std::vector<ExcludedPath>& excluded() const { return excluded_; }
  // Whether the latest run got past its sign-in (every driver resets its count of files then).
  bool lastRunSignedIn() const { return lastRunSignedIn_; }
  // Whether the latest run was asked to stop before it ended.
  bool lastRunCancelled() const { return lastRunCancelled_; }
  int doneCount() const { return doneCount_; }
  // Why the latest run's exchanges for the item failed (transport's words), or empty.
  const std::string& itemTrouble(std::size_t item) const;
  const Text& lastTargetDir() const { return lastTargetDir_; }
  int copyOrMove() const { return copyOrMove_; }

  // The site chooser's entries, in order.
  static std::vector<Text> SiteChooserEntries();
  // The destination a site chooser entry selects: 1 for entry 0, k + 2 for entry k.
  static std::int32_t SiteForChooserEntry(int entry);

 private:
  // DriverContext
  void SetControlsEnabled(bool enabled) override;
  void SetItemStatus(std::size_t item, const Text& status) override;
  void NoteItemTrouble(std::size_t item, const std::string& reason) override;
  void ResetDoneCount() override {
    doneCount_ = 0;
    lastRunSignedIn_ = true;
  }
  void AdvanceProgress() override;
  void SaveSettings() override;
  void ShowMessage(const Text& text) override;
  bool CancelRequested() const override { return cancel_.requested(); }
  AlbumChoice ChooseAlbum(const std::vector<Text>& albums) override;
  void KeepLastResponse() override;
  const Text& lastPageText() const override { return lastPageText_; }
  const Text& lastHeaderText() const override { return lastHeaderText_; }
  std::int32_t uid() const override { return settings_.account.uid; }
  std::uint32_t maxFileSize() const override { return settings_.account.maxFileSize; }
  WebClient& web() override { return services_.web; }
  const EndpointTable& endpoints() const override { return services_.endpoints; }

  void RunSiteChooser();

  const std::vector<std::string>& droppedPaths_;
  DialogView& view_;
  DialogServices services_;
  FileList fileList_;
  DialogSettings settings_;
  UploadList uploadList_;
  std::vector<ExcludedPath> excluded_;
  Text lastTargetDir_;
  int copyOrMove_ = -1;
  int doneCount_ = 0;
  std::vector<std::string> itemTrouble_;  // by item, for the latest run
  Text lastPageText_;
  Text lastHeaderText_;
  bool blocked_ = false;
  bool lastRunSignedIn_ = false;
  bool lastRunCancelled_ = false;
  bool keepCancelEnabled_ = false;
  CancelRequest cancel_;
  bool exchanging_ = false;  // notifications from our own controls are ignored meanwhile
};

}  // namespace wharfling
