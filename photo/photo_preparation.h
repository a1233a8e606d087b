#pragma once
// What is done to a photo's bytes before they are sent: nothing, for most photos (they go from the
// file straight into the body), or the location removed and a JPEG over the size limit re-encoded
// to fit. The file on disk is never touched.

#include <cstdint>
#include <optional>
#include <string>

#include "photo/photo_preparer.h"
#include "text/text.h"

namespace wharfling {

struct PhotoRules {
  bool fit = false;            // shrink a JPEG over maxBytes to fit
  bool stripLocation = false;  // remove the location from every photo
  std::uint64_t maxBytes = 0;  // the destination's size limit
};

inline bool AnyPhotoRule(const PhotoRules& rules) { return rules.fit || rules.stripLocation; }

struct PreparedPhoto {
  bool failed = false;
  Text reason;         // for the photo's row; may be empty for a failure
  std::string detail;  // English, for reports
  // The bytes to send, when they are not simply the file's.
  std::optional<std::string> bytes;
};

// size is the file's size as just taken.
PreparedPhoto PreparePhoto(PhotoPreparer& preparer, const std::string& path, std::uint64_t size,
                           const PhotoRules& rules);

}  // namespace wharfling
