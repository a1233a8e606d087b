#include "session/screening.h"

#include <filesystem>
#include <optional>

#include "session/file_bytes.h"
#include "session/jpeg_signature.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

constexpr std::string_view kJpegExtensions = ".jpg,.jpeg,.jpe,.jfif,.jfi,.jif";
constexpr int kCreativePeopleSite = 5;

// Why path is left out, or nothing when it is accepted; size is filled in when it can be taken.
std::optional<ExcludedPath> Exclude(const std::string& path, const Text& pathText,
                                    const DialogSettings& settings, std::uint64_t& size) {
  const auto excluded = [&](Exclusion why, Text sentence) {
    return ExcludedPath{path, pathText, why, std::move(sentence), size};
  };
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    return excluded(Exclusion::kFolder, FormatText(texts::kFolderIgnored, {pathText}));
  }
  if (!ReadFileBytes(path, size)) {
    return excluded(Exclusion::kUnreadable, FormatText(texts::kUnreadable, {pathText}));
  }
  // With shrink to fit on, a JPEG over the limit is made to fit at upload.
  if (size > settings.account.maxFileSize && !(settings.fit != 0 && FileHasJpegSignature(path))) {
    return excluded(Exclusion::kOverSizeLimit,
                    FormatText(texts::kOverSizeLimit,
                               {std::to_string(settings.account.maxFileSize), std::to_string(size)}));
  }
  if (settings.siteIndex == kCreativePeopleSite && ExtensionIn(pathText, kJpegExtensions) < 0) {
    return excluded(Exclusion::kNotJpeg, Text(texts::kNotJpeg));
  }
  return std::nullopt;
}

}  // namespace

ScreeningResult ScreenDroppedFiles(const std::vector<std::string>& droppedPaths,
                                   const DialogSettings& settings, const TextCodec& codec) {
  ScreeningResult result;
  for (const std::string& path : droppedPaths) {
    const Text pathText = codec.PathToText(path);
    std::uint64_t size = 0;
    if (auto excluded = Exclude(path, pathText, settings, size)) {
      result.excluded.push_back(std::move(*excluded));
      continue;
    }
    result.totalBytes += size;
    result.uploadList.push_back({path, pathText, DisplayNameOf(pathText), size});
  }
  const auto accepted = static_cast<long long>(result.uploadList.size());
  result.tooManyFiles = settings.maxFilesPerRun > 0 && accepted > settings.maxFilesPerRun;
  result.blocked = result.tooManyFiles || result.totalBytes == 0;
  return result;
}

Text CollectedMessage(const ScreeningResult& result) {
  Text collected;
  for (const auto& excluded : result.excluded) collected += excluded.sentence;
  return collected;
}

std::string_view ExclusionName(Exclusion why) {
  switch (why) {
    case Exclusion::kFolder:
      return "folder";
    case Exclusion::kUnreadable:
      return "unreadable";
    case Exclusion::kOverSizeLimit:
      return "too-large";
    case Exclusion::kNotJpeg:
      return "not-jpeg";
  }
  return "unreadable";
}

}  // namespace wharfling
