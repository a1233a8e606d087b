#include "platform/posix/posix_photo_preparer.h"

#include "platform/posix/exiv2_location.h"
#include "platform/posix/vips_photo.h"

namespace wharfling::posix {

LocationFinding PosixPhotoPreparer::FindLocation(const std::string& path) {
  return FindLocationWithExiv2(path);
}

bool PosixPhotoPreparer::RemoveLocation(std::string& bytes, std::string& why) {
  return RemoveLocationWithExiv2(bytes, why);
}

std::unique_ptr<DecodedPhoto> PosixPhotoPreparer::DecodeJpeg(std::string_view bytes, std::string& why) {
  return DecodeJpegWithVips(bytes, why);
}

}  // namespace wharfling::posix
