#pragma once
// Finding and removing a photo's location with exiv2: the EXIF GPS directory and the XMP location
// fields. The image data is never decoded or re-encoded.

#include <string>

#include "photo/photo_preparer.h"

namespace wharfling::posix {

LocationFinding FindLocationWithExiv2(const std::string& path);

// False, with why, when exiv2 cannot read or write the metadata of bytes.
bool RemoveLocationWithExiv2(std::string& bytes, std::string& why);

}  // namespace wharfling::posix
