#include "server/pages/gallery_messages.h"

#include <charconv>

#include "server/library/browser_upload.h"
#include "text/text.h"

namespace wharfling::server {
namespace {

int Count(const Fields& query, const char* name) {
  const auto found = FindField(query, name);
  if (!found) return -1;
  int value = 0;
  const std::string_view text = *found;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= 0 ? value : -1;
}

std::string Files(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Why(Refusal refusal, std::uint64_t maxFileSize, std::uint64_t quota) {
  switch (refusal) {
    case Refusal::kTooLarge:
      return "a file is larger than " + FormatThousands(static_cast<long long>(maxFileSize)) + " bytes";
    case Refusal::kQuota:
      return "your photos would take more than your " + FormatThousands(static_cast<long long>(quota)) +
             " bytes";
    case Refusal::kBadName:
      return "a file name cannot be used";
    case Refusal::kNameTooLong:
      return "a file name is too long";
    case Refusal::kStorage:
      return "the server could not store a file";
    default:
      return "the upload did not arrive whole";
  }
}

}  // namespace

std::string UploadTallyQuery(const UploadTally& tally) {
  std::string query = "?stored=" + std::to_string(tally.stored);
  if (tally.refused > 0) {
    query += "&refused=" + std::to_string(tally.refused);
    if (tally.firstRefusal) query += "&why=" + std::string(RefusalCode(*tally.firstRefusal));
  }
  if (tally.leftOut > 0) query += "&left=" + std::to_string(tally.leftOut);
  return query;
}

std::string GalleryMessage(const Fields& query, std::uint64_t maxFileSize, std::uint64_t quota) {
  if (Count(query, "deleted") == 1) return "The photo was deleted.";
  const int stored = Count(query, "stored");
  if (stored < 0) return {};
  const int refused = Count(query, "refused");
  const int left = Count(query, "left");
  if (stored == 0 && refused <= 0 && left <= 0) return "No file was chosen.";
  std::string message = "Uploaded " + Files(stored, "photo", "photos") + ".";
  if (refused > 0) {
    const auto found = FindField(query, "why");
    const auto refusal = found ? RefusalFromCode(*found) : std::nullopt;
    message += " " + Files(refused, "file was", "files were") +
               " not stored: " + Why(refusal.value_or(Refusal::kMalformed), maxFileSize, quota) + ".";
  }
  if (left > 0) {
    message += " " + Files(left, "file was", "files were") + " left out: at most " +
               std::to_string(kMaxBrowserFiles) + " files go at once.";
  }
  return message;
}

}  // namespace wharfling::server
