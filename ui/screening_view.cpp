#include "ui/screening_view.h"

#include <algorithm>
#include <cstdint>

#include "sites/status_texts.h"
#include "ui/controls.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

void SetUpColumns(FileList& fileList, DialogView& view) {
  view.SetFullRowSelect();
  const struct {
    std::string_view header;
    int width;
  } columns[] = {{texts::kColumnFile, 70}, {texts::kColumnSize, 70}, {texts::kColumnStatus, 120}};
  int index = 0;
  for (const auto& column : columns) {
    if (!fileList.InsertColumn(index++, Text(column.header), column.width)) return;
  }
}

}  // namespace

bool HasAccount(const Text& id, const Text& password, DialogView& view) {
  const bool has = !id.empty() && !password.empty();
  view.ShowControl(control::kDestination, has);
  return has;
}

void ShowScreening(const ScreeningResult& result, const DialogSettings& settings, FileList& fileList,
                   DialogView& view) {
  SetUpColumns(fileList, view);
  for (std::size_t item = 0; item < result.uploadList.size(); ++item) {
    const UploadItem& accepted = result.uploadList[item];
    const int row = fileList.InsertRow(accepted.displayName, item);
    fileList.SetCell(row, 1, std::to_string(accepted.size));
    fileList.SetCell(row, 2, Text(kStatusNotHandled));
  }

  const auto accepted = static_cast<long long>(result.uploadList.size());
  view.AutoSizeColumn(0);
  view.SetProgressRange(static_cast<int>(std::min<long long>(accepted, INT32_MAX)));
  view.SetTitle(
      FormatText(texts::kTitleTotals,
                 {std::to_string(accepted), FormatThousands(static_cast<long long>(result.totalBytes))}));

  if (result.tooManyFiles) {
    view.ShowMessage(FormatText(texts::kTooManyFiles,
                                {std::to_string(accepted), std::to_string(settings.maxFilesPerRun)}));
  }
  if (result.blocked) {
    view.ShowControl(control::kDestination, false);
    view.EnableControl(control::kDestination, false);
    return;
  }
  if (!HasAccount(settings.account.id, settings.account.password, view)) {
    view.ShowMessage(Text(texts::kSetUpAccount));
  }
  const Text collected = CollectedMessage(result);
  if (!collected.empty()) view.ShowMessage(collected);
}

}  // namespace wharfling
