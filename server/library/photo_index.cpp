#include "server/library/photo_index.h"

#include "server/base/secure_random.h"

namespace wharfling::server {

std::string NewPhotoId() { return RandomHex(16); }

bool IsPhotoId(std::string_view text) {
  return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string ThumbnailNameFor(std::string_view id) {
  return std::string(kThumbnailPrefix) + std::string(id) + ".jpg";
}

}  // namespace wharfling::server
