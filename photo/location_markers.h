#pragma once
// The last guard against sending a location when a photo's metadata cannot be read: whether its
// bytes hold any GPS marker at all.

#include <string_view>

namespace wharfling {

// True when bytes hold the EXIF GPS directory's tag (0x8825, either byte order) or the text "GPS"
// (the XMP GPS properties). In a JPEG whose segments can be walked only the metadata segments before
// the image data are searched; in anything else, every byte.
bool HoldsLocationMarker(std::string_view bytes);

}  // namespace wharfling
