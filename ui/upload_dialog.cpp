#include "ui/upload_dialog.h"

#include "session/site_catalogue.h"
#include "sites/site_drivers.h"
#include "sites/status_texts.h"
#include "ui/controls.h"
#include "ui/screening_view.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

// Sets a flag for the life of a scope.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = previous_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

}  // namespace

UploadDialog::UploadDialog(const std::vector<std::string>& droppedPaths, DialogView& view,
                           DialogServices services)
    : droppedPaths_(droppedPaths), view_(view), services_(services), fileList_(view) {}

std::vector<Text> UploadDialog::SiteChooserEntries() {
  const auto named = [](std::string_view name, std::string_view description) {
    return Text(name) + "\n" + Text(description);
  };
  return {
      named("Parvault", texts::kChooserParvault),
      named("Zorg", texts::kChooserZorg),
      named("hatena fotolife", texts::kChooserHatena),
      named("creative people:photo", texts::kChooserCreativePeople),
      named("PHOTOHITO", texts::kChooserPhotohito),
      named("Mixi", texts::kChooserMixi),
      named("PhotoHighway", texts::kChooserPhotoHighway),
      named(texts::kChooserIiiroName, texts::kChooserIiiro),
      Text(texts::kChooserMyPicturetown),
      named("FUERU", texts::kChooserFueru),
      named(texts::kChooserRakutenName, texts::kChooserRakuten),
      Text(texts::kChooserPicMate),
      named("snapfish", texts::kChooserSnapfish),
  };
}

std::int32_t UploadDialog::SiteForChooserEntry(int entry) { return entry == 0 ? 1 : entry + 2; }

void UploadDialog::Initialize(bool allowSiteChooser) {
  RefreshControls();
  lastTargetDir_ = services_.store.ReadText(kSettingsSection, "LastTargetDir").value_or(Text());
  LoadSettings(services_.store, services_.endpoints, settings_);
  if (allowSiteChooser && settings_.chooseSiteAtStart == 1) RunSiteChooser();
  copyOrMove_ = 0;
  LoadSettings(services_.store, services_.endpoints, settings_);
  // Photo options a platform cannot carry out are off, so that screening does not accept for them.
  if (!services_.web.CanPreparePhotos()) settings_.fit = settings_.noLocation = 0;

  ScreeningResult screening = ScreenDroppedFiles(droppedPaths_, settings_, services_.codec);
  ShowScreening(screening, settings_, fileList_, view_);
  uploadList_ = std::move(screening.uploadList);
  excluded_ = std::move(screening.excluded);
  blocked_ = screening.blocked;

  view_.SetControlText(control::kDestination, Text(CatalogueRow(settings_.siteIndex).caption));
  view_.SetLink(Text(kMakerAddress), 1);
  RefreshControls();
}

void UploadDialog::RunSiteChooser() {
  // Closing the chooser without a double-click leaves its selection at entry 0.
  const ChooserOutcome outcome = view_.RunSiteChooser(SiteChooserEntries());
  const int entry = outcome.doubleClicked ? outcome.selection : 0;
  if (entry < 0) return;
  settings_.siteIndex = SiteForChooserEntry(entry);
  wharfling::SaveSettings(services_.store, settings_, true);
}

void UploadDialog::OnAccountEdited() {
  if (exchanging_) return;
  ReadControls();
  HasAccount(settings_.account.id, settings_.account.password, view_);
  RefreshControls();
}

bool UploadDialog::ReadControls() {
  FlagScope scope(exchanging_);
  lastTargetDir_ = view_.ControlText(control::kTargetDir);
  copyOrMove_ = view_.IsChecked(control::kCopy) ? 0 : view_.IsChecked(control::kMove) ? 1 : -1;
  lastPageText_ = view_.ControlText(control::kPagePane);
  lastHeaderText_ = view_.ControlText(control::kHeaderPane);
  settings_.account.id = view_.ControlText(control::kId);
  settings_.account.password = view_.ControlText(control::kPassword);
  return true;
}

void UploadDialog::RefreshControls() {
  FlagScope scope(exchanging_);
  // The edit holds at most 258 characters; a longer stored folder is cut rather than left to
  // fail every later read of the controls.
  view_.SetControlText(control::kTargetDir, TruncateText(lastTargetDir_, kTargetDirLimit));
  view_.SetChecked(control::kCopy, copyOrMove_ == 0);
  view_.SetChecked(control::kMove, copyOrMove_ == 1);
  view_.SetControlText(control::kPagePane, lastPageText_);
  view_.SetControlText(control::kHeaderPane, lastHeaderText_);
  view_.SetControlText(control::kId, settings_.account.id);
  view_.SetControlText(control::kPassword, settings_.account.password);
}

void UploadDialog::SetPhotoOptions(bool fit, bool noLocation) {
  if (!CanPreparePhotos()) return;
  settings_.fit = fit ? 1 : 0;
  settings_.noLocation = noLocation ? 1 : 0;
  SavePhotoOptions(services_.store, settings_);
}

bool UploadDialog::OnOk() { return ReadControls(); }

bool UploadDialog::CanStartUpload() const {
  return !blocked_ && !settings_.account.id.empty() && !settings_.account.password.empty();
}

void UploadDialog::StartUpload() {
  const SiteDriver driver = DriverFor(settings_.siteIndex);
  lastRunSignedIn_ = false;
  const Text url = settings_.account.url;
  const Text id = settings_.account.id;
  const Text password = settings_.account.password;
  services_.web.SetPhotoRules({settings_.fit != 0, settings_.noLocation != 0, settings_.account.maxFileSize});
  itemTrouble_.assign(uploadList_.size(), std::string());
  // A cancel reaches the exchange in flight, not only the next file.
  services_.web.SetCancelRequest(&cancel_);
  driver(*this, url, id, password);
  services_.web.SetCancelRequest(nullptr);
  lastRunCancelled_ = cancel_.requested();
  cancel_.Clear();
}

void UploadDialog::SetControlsEnabled(bool enabled) {
  view_.EnableControl(control::kDestination, enabled);
  view_.ShowControl(control::kDestination, enabled);
  for (const int id : {control::kId, control::kPassword, control::kFileList})
    view_.EnableControl(id, enabled);
  if (!keepCancelEnabled_) view_.EnableControl(control::kCancel, enabled);
}

void UploadDialog::SetItemStatus(std::size_t item, const Text& status) {
  const auto row = fileList_.RowOf(item);
  if (!row) return;
  // A photo refused before its send shows why, whichever driver wrote the failure.
  const auto& refusal = services_.web.photoRefusal();
  if (status == StatusFailed() && item < uploadList_.size() && !refusal.path.empty() &&
      refusal.path == uploadList_[item].path) {
    fileList_.SetCell(*row, 2, StatusFailedWithReason(refusal.reason));
    return;
  }
  fileList_.SetCell(*row, 2, status);
}

void UploadDialog::NoteItemTrouble(std::size_t item, const std::string& reason) {
  if (item < itemTrouble_.size()) itemTrouble_[item] = reason;
}

const std::string& UploadDialog::itemTrouble(std::size_t item) const {
  static const std::string none;
  return item < itemTrouble_.size() ? itemTrouble_[item] : none;
}

void UploadDialog::AdvanceProgress() {
  ++doneCount_;
  view_.SetProgressPosition(doneCount_);
}

void UploadDialog::SaveSettings() { wharfling::SaveSettings(services_.store, settings_, false); }

void UploadDialog::ShowMessage(const Text& text) {
  // A site's failure message after the user stopped the run would blame the site for the cancel.
  if (cancel_.requested()) return;
  view_.ShowMessage(text);
}

AlbumChoice UploadDialog::ChooseAlbum(const std::vector<Text>& albums) {
  const ChooserOutcome outcome = view_.RunAlbumChooser(albums);
  AlbumChoice choice;
  if (outcome.doubleClicked && outcome.selection >= 0 &&
      outcome.selection < static_cast<int>(albums.size())) {
    choice.selectedIndex = outcome.selection;
    choice.selectedText = albums[static_cast<std::size_t>(outcome.selection)];
  }
  return choice;
}

void UploadDialog::KeepLastResponse() {
  lastPageText_ = services_.web.PageText();
  lastHeaderText_ = services_.web.HeaderText();
}

}  // namespace wharfling
