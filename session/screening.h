#pragma once
// Screens the dropped paths against the selected destination's rules: what is accepted, what is
// excluded and why, the totals, and whether the run is blocked. The dialog shows the outcome.

#include <cstdint>
#include <string>
#include <vector>

#include "session/settings.h"
#include "session/upload_list.h"
#include "text/text_codec.h"

namespace wharfling {

// Why a dropped path was left out.
enum class Exclusion { kFolder, kUnreadable, kOverSizeLimit, kNotJpeg };

struct ExcludedPath {
  std::string path;  // native bytes, as dropped
  Text pathText;     // the path as CP932 text
  Exclusion why = Exclusion::kUnreadable;
  Text sentence;           // the sentence the collected message gets for it
  std::uint64_t size = 0;  // the file's size when it could be taken, else 0
};

struct ScreeningResult {
  UploadList uploadList;               // accepted, in drop order
  std::vector<ExcludedPath> excluded;  // in drop order
  std::uint64_t totalBytes = 0;
  bool tooManyFiles = false;  // more accepted files than the file-count limit allows
  bool blocked = false;       // too many files, or nothing (no byte) to upload
};

ScreeningResult ScreenDroppedFiles(const std::vector<std::string>& droppedPaths,
                                   const DialogSettings& settings, const TextCodec& codec);

// The excluded paths' sentences, joined as one message with no separator.
Text CollectedMessage(const ScreeningResult& result);

// A short English name of an exclusion, for scripts: "folder", "unreadable", "too-large",
// "not-jpeg".
std::string_view ExclusionName(Exclusion why);

}  // namespace wharfling
