#pragma once
// The photo preparer of this platform: exiv2 for the location, libvips for the re-encoding.

#include "photo/photo_preparer.h"

namespace wharfling::posix {

class PosixPhotoPreparer final : public PhotoPreparer {
 public:
  LocationFinding FindLocation(const std::string& path) override;
  bool RemoveLocation(std::string& bytes, std::string& why) override;
  std::unique_ptr<DecodedPhoto> DecodeJpeg(std::string_view bytes, std::string& why) override;
};

}  // namespace wharfling::posix
