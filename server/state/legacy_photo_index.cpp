#include "server/state/legacy_photo_index.h"

#include <nlohmann/json.hpp>

#include "server/state/state_tokens.h"

namespace wharfling::server::state {

std::optional<std::vector<PhotoEntry>> ParseLegacyIndex(std::string_view text) {
  const auto json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object() || json.value("version", 0) != 1 || !json.contains("photos") ||
      !json["photos"].is_array()) {
    return std::nullopt;
  }
  std::vector<PhotoEntry> photos;
  for (const auto& item : json["photos"]) {
    if (!item.is_object() || !item.contains("size") || !item["size"].is_number_unsigned() ||
        !item.contains("uploaded") || !item["uploaded"].is_number_integer()) {
      return std::nullopt;
    }
    PhotoEntry photo;
    try {
      photo.id = item.at("id").get<std::string>();
      photo.storedName = item.at("name").get<std::string>();
      photo.size = item.at("size").get<std::uint64_t>();
      photo.uploadedMs = item.at("uploaded").get<std::int64_t>();
      photo.contentType = item.at("type").get<std::string>();
      photo.thumbnail = item.at("thumbnail").get<std::string>();
    } catch (const nlohmann::json::exception&) {
      return std::nullopt;
    }
    const std::string& name = photo.storedName;
    if (!IsPhotoId(photo.id) || name.empty() || name.front() == '.' || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos) {
      return std::nullopt;
    }
    // A thumbnail is a hidden file beside the photo; anything else is made again.
    const std::string& thumbnail = photo.thumbnail;
    if (thumbnail != kNoThumbnail &&
        (thumbnail.find('/') != std::string::npos || !thumbnail.starts_with('.') ||
         thumbnail.find('\0') != std::string::npos)) {
      photo.thumbnail.clear();
    }
    photos.push_back(std::move(photo));
  }
  return photos;
}

}  // namespace wharfling::server::state
