#pragma once
// Photos made at run time for the tests and benchmarks: JPEGs of a colour gradient under grain (much
// grain compresses badly, so a few megapixels make megabytes; a little compresses about as a camera
// photo does) drawn with libvips, their metadata set and read back with exiv2.

#include <map>
#include <string>

namespace wharfling::testing {

struct PhotoRecipe {
  int width = 64;
  int height = 48;
  int quality = 90;
  double grain = 60.0;         // the noise's standard deviation, in 8-bit levels
  bool colourProfile = false;  // an sRGB ICC profile embedded
  // EXIF and XMP values by exiv2 key ("Exif.Image.Orientation" -> "6"), set after encoding.
  std::map<std::string, std::string> tags;
};

// The JPEG's bytes; empty when libvips or exiv2 failed.
std::string MakeJpeg(const PhotoRecipe& recipe);

// Every EXIF and XMP value of the image in bytes, by exiv2 key, as exiv2 prints it; empty when its
// metadata cannot be read.
std::map<std::string, std::string> PhotoTags(const std::string& bytes);

struct PhotoShape {
  int width = 0;
  int height = 0;
  bool colourProfile = false;
};
// Decodes bytes; nothing (width 0) when they are no image libvips can decode.
PhotoShape ShapeOf(const std::string& bytes);

// Tags known to carry a location: the GPS directory and the XMP GPS properties.
inline const std::map<std::string, std::string> kGpsTags = {
    {"Exif.GPSInfo.GPSLatitudeRef", "N"},  {"Exif.GPSInfo.GPSLatitude", "35/1 40/1 0/1"},
    {"Exif.GPSInfo.GPSLongitudeRef", "E"}, {"Exif.GPSInfo.GPSLongitude", "139/1 45/1 0/1"},
    {"Xmp.exif.GPSLatitude", "35,40.0N"},
};

}  // namespace wharfling::testing
