#include "platform/posix/exiv2_location.h"

#include <exiv2/exiv2.hpp>

#include <array>
#include <mutex>
#include <string_view>

namespace wharfling::posix {
namespace {

// The XMP properties that say where a photo was taken: the GPS ones and the named places.
constexpr std::array<std::string_view, 8> kXmpLocationPrefixes = {
    "Xmp.exif.GPS",      "Xmp.exifEX.GPS",     "Xmp.iptcExt.LocationCreated", "Xmp.iptcExt.LocationShown",
    "Xmp.iptc.Location", "Xmp.photoshop.City", "Xmp.photoshop.State",         "Xmp.photoshop.Country"};

bool IsExifLocation(const Exiv2::Exifdatum& datum) {
  return datum.groupName() == "GPSInfo" || datum.key() == "Exif.Image.GPSTag";
}

bool IsXmpLocation(const Exiv2::Xmpdatum& datum) {
  const std::string key = datum.key();
  for (const auto prefix : kXmpLocationPrefixes) {
    if (std::string_view(key).starts_with(prefix)) return true;
  }
  return false;
}

bool HoldsLocation(Exiv2::Image& image) {
  for (const auto& datum : image.exifData()) {
    if (IsExifLocation(datum)) return true;
  }
  for (const auto& datum : image.xmpData()) {
    if (IsXmpLocation(datum)) return true;
  }
  return false;
}

// exiv2 prints its warnings on stderr unless told not to.
void Quieten() {
  static std::once_flag once;
  std::call_once(once, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
}

}  // namespace

LocationFinding FindLocationWithExiv2(const std::string& path) {
  Quieten();
  try {
    auto image = Exiv2::ImageFactory::open(path);
    if (image.get() == nullptr) return LocationFinding::kUnreadable;
    image->readMetadata();
    return HoldsLocation(*image) ? LocationFinding::kPresent : LocationFinding::kNone;
  } catch (const std::exception&) {
    return LocationFinding::kUnreadable;
  }
}

bool RemoveLocationWithExiv2(std::string& bytes, std::string& why) {
  Quieten();
  try {
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                           static_cast<long>(bytes.size()));
    if (image.get() == nullptr) {
      why = "unknown image format";
      return false;
    }
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    for (auto datum = exif.begin(); datum != exif.end();) {
      datum = IsExifLocation(*datum) ? exif.erase(datum) : std::next(datum);
    }
    Exiv2::XmpData& xmp = image->xmpData();
    for (auto datum = xmp.begin(); datum != xmp.end();) {
      datum = IsXmpLocation(*datum) ? xmp.erase(datum) : std::next(datum);
    }
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    if (io.open() != 0) {
      why = "the rewritten photo cannot be read back";
      return false;
    }
    const Exiv2::DataBuf written = io.read(static_cast<long>(io.size()));
    io.close();
    bytes.assign(reinterpret_cast<const char*>(written.pData_), static_cast<std::size_t>(written.size_));
    return true;
  } catch (const std::exception& error) {
    why = error.what();
    return false;
  }
}

}  // namespace wharfling::posix
