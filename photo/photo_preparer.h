#pragma once
// The port through which the bytes sent for a photo are changed on their way into the upload body:
// the image work (reading and removing metadata, decoding and encoding) is the adapter's; what is
// done to which photo, and the search for the largest encoding within a limit, are the core's
// (photo/photo_preparation.h).

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace wharfling {

enum class LocationFinding {
  kNone,        // the metadata was read and holds no location
  kPresent,     // the metadata holds GPS data or location fields
  kUnreadable,  // the metadata could not be read
};

// A photo decoded once and encoded as often as a search needs.
class DecodedPhoto {
 public:
  virtual ~DecodedPhoto() = default;
  // The longer of the photo's two sides, in pixels.
  virtual int longSide() const = 0;
  // A JPEG of the photo at quality (1 to 100) with its longer side longSide pixels, carrying the
  // photo's metadata (orientation and colour profile among it); nothing when encoding fails.
  virtual std::optional<std::string> Encode(int quality, int longSide) = 0;
};

class PhotoPreparer {
 public:
  virtual ~PhotoPreparer() = default;
  // Looks at the metadata of the file at path alone, without reading its image data.
  virtual LocationFinding FindLocation(const std::string& path) = 0;
  // Removes the GPS data and the location fields from bytes, keeping the image data and every other
  // tag as they are. False, with why (English, for reports), when the metadata cannot be read or written.
  virtual bool RemoveLocation(std::string& bytes, std::string& why) = 0;
  // Nothing, with why, when bytes are no JPEG the adapter can decode.
  virtual std::unique_ptr<DecodedPhoto> DecodeJpeg(std::string_view bytes, std::string& why) = 0;
};

}  // namespace wharfling
