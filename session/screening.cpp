#include "session/screening.h"

#include <filesystem>

#include "session/file_bytes.h"
#include "ui/controls.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

constexpr std::string_view kJpegExtensions = ".jpg,.jpeg,.jpe,.jfif,.jfi,.jif";
constexpr int kCreativePeopleSite = 5;

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

// The sentence for a path that is not accepted, or empty when it is.
Text Rejection(const std::string& path, const Text& pathText, const DialogSettings& settings,
               std::uint64_t& size) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return FormatText(texts::kFolderIgnored, {pathText});
  if (!ReadFileBytes(path, size)) return FormatText(texts::kUnreadable, {pathText});
  if (size > settings.account.maxFileSize) {
    return FormatText(texts::kOverSizeLimit,
                      {std::to_string(settings.account.maxFileSize), std::to_string(size)});
  }
  if (settings.siteIndex == kCreativePeopleSite && ExtensionIn(pathText, kJpegExtensions) < 0) {
    return Text(texts::kNotJpeg);
  }
  return Text();
}

}  // namespace

bool HasAccount(const Text& id, const Text& password, DialogView& view) {
  const bool has = !id.empty() && !password.empty();
  view.ShowControl(control::kDestination, has);
  return has;
}

ScreeningResult ScreenDroppedFiles(const std::vector<std::string>& droppedPaths,
                                   const DialogSettings& settings, const TextCodec& codec, FileList& fileList,
                                   DialogView& view) {
  ScreeningResult result;
  Text collected;
  SetUpColumns(fileList, view);

  for (const std::string& path : droppedPaths) {
    const Text pathText = codec.PathToText(path);
    std::uint64_t size = 0;
    const Text rejection = Rejection(path, pathText, settings, size);
    if (!rejection.empty()) {
      collected += rejection;
      continue;
    }
    result.totalBytes += size;
    const std::size_t item = result.uploadList.size();
    result.uploadList.push_back({path, pathText, DisplayNameOf(pathText), size});
    const int row = fileList.InsertRow(result.uploadList.back().displayName, item);
    fileList.SetCell(row, 1, std::to_string(size));
    fileList.SetCell(row, 2, "--");
  }

  const auto accepted = static_cast<long long>(result.uploadList.size());
  view.AutoSizeColumn(0);
  view.SetProgressRange(static_cast<int>(std::min<long long>(accepted, INT32_MAX)));
  view.SetTitle(
      FormatText(texts::kTitleTotals,
                 {std::to_string(accepted), FormatThousands(static_cast<long long>(result.totalBytes))}));

  if (settings.maxFilesPerRun > 0 && accepted > settings.maxFilesPerRun) {
    view.ShowMessage(FormatText(texts::kTooManyFiles,
                                {std::to_string(accepted), std::to_string(settings.maxFilesPerRun)}));
    result.blocked = true;
  }
  if (result.totalBytes == 0) result.blocked = true;

  if (result.blocked) {
    view.ShowControl(control::kDestination, false);
    view.EnableControl(control::kDestination, false);
    return result;
  }
  if (!HasAccount(settings.account.id, settings.account.password, view)) {
    view.ShowMessage(Text(texts::kSetUpAccount));
  }
  if (!collected.empty()) view.ShowMessage(collected);
  return result;
}

}  // namespace wharfling
