#include "server/library/photo_index.h"

#include <nlohmann/json.hpp>

#include "server/base/secure_random.h"

namespace wharfling::server {

std::string NewPhotoId() { return RandomHex(16); }

bool IsPhotoId(std::string_view text) {
  return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string ThumbnailNameFor(std::string_view id) {
  return std::string(kThumbnailPrefix) + std::string(id) + ".jpg";
}

std::string PhotoIndexText(const std::vector<PhotoRecord>& photos) {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& p : photos) {
    list.push_back({{"id", p.id},
                    {"name", p.name},
                    {"size", p.size},
                    {"uploaded", p.uploadedMs},
                    {"type", p.contentType},
                    {"thumbnail", p.thumbnail}});
  }
  // Names are bytes from disk: a name that is not valid UTF-8 is written with replacement characters
  // rather than stopping the index from being written at all; such a record is then re-made.
  return nlohmann::json{{"version", 1}, {"photos", list}}.dump(1, '\t', false,
                                                               nlohmann::json::error_handler_t::replace) +
         "\n";
}

std::optional<std::vector<PhotoRecord>> ParsePhotoIndex(std::string_view text) {
  const auto json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object() || json.value("version", 0) != 1 || !json.contains("photos") ||
      !json["photos"].is_array()) {
    return std::nullopt;
  }
  std::vector<PhotoRecord> photos;
  for (const auto& item : json["photos"]) {
    if (!item.is_object() || !item.contains("size") || !item["size"].is_number_unsigned() ||
        !item.contains("uploaded") || !item["uploaded"].is_number_integer()) {
      return std::nullopt;
    }
    PhotoRecord p;
    try {
      p.id = item.at("id").get<std::string>();
      p.name = item.at("name").get<std::string>();
      p.size = item.at("size").get<std::uint64_t>();
      p.uploadedMs = item.at("uploaded").get<std::int64_t>();
      p.contentType = item.at("type").get<std::string>();
      p.thumbnail = item.at("thumbnail").get<std::string>();
    } catch (const nlohmann::json::exception&) {
      return std::nullopt;
    }
    // A name is one entry of the account's folder, never a path and never one of the hidden files.
    if (!IsPhotoId(p.id) || p.name.empty() || p.name.front() == '.' ||
        p.name.find('/') != std::string::npos || p.name.find('\0') != std::string::npos) {
      return std::nullopt;
    }
    photos.push_back(std::move(p));
  }
  return photos;
}

}  // namespace wharfling::server
