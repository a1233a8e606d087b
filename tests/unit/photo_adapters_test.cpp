// The photo adapters of this platform on real JPEGs: exiv2 finds and removes the location without
// touching the image data, libvips re-encodes keeping the orientation and the colour profile.

#include <gtest/gtest.h>

#include "platform/posix/posix_photo_preparer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_photos.h"

namespace wharfling {
namespace {

using testing::kGpsTags;
using testing::MakeJpeg;
using testing::PhotoRecipe;
using testing::PhotoTags;
using testing::ShapeOf;
using testing::TempDir;

const std::map<std::string, std::string> kOtherTags = {
    {"Exif.Image.Orientation", "6"}, {"Exif.Image.Artist", "Tester"}, {"Xmp.dc.creator", "Tester"}};

std::map<std::string, std::string> Merged(std::map<std::string, std::string> a,
                                          const std::map<std::string, std::string>& b) {
  a.insert(b.begin(), b.end());
  return a;
}

// The bytes from the start of scan on: the image data.
std::string ImageData(const std::string& jpeg) { return jpeg.substr(jpeg.find("\xFF\xDA")); }

TEST(PosixPhotoPreparer, FindsTheLocationInTheMetadata) {
  const struct {
    const char* what;
    std::string bytes;
    LocationFinding finding;
  } cases[] = {
      {"EXIF and XMP GPS", MakeJpeg({.tags = Merged(kGpsTags, kOtherTags)}), LocationFinding::kPresent},
      {"XMP GPS only", MakeJpeg({.tags = {{"Xmp.exif.GPSLatitude", "35,40.0N"}}}), LocationFinding::kPresent},
      {"other tags only", MakeJpeg({.tags = kOtherTags}), LocationFinding::kNone},
      {"no metadata", MakeJpeg({}), LocationFinding::kNone},
      {"not an image", "just text GPS", LocationFinding::kUnreadable},
  };
  posix::PosixPhotoPreparer preparer;
  for (const auto& c : cases) {
    TempDir dir;
    EXPECT_EQ(preparer.FindLocation(dir.WriteFile("p.jpg", c.bytes)), c.finding) << c.what;
  }
}

TEST(PosixPhotoPreparer, RemovesTheLocationKeepingEveryOtherTagAndTheImageData) {
  const std::string photo = MakeJpeg({.tags = Merged(kGpsTags, kOtherTags)});
  ASSERT_FALSE(photo.empty());
  ASSERT_EQ(PhotoTags(photo).count("Exif.GPSInfo.GPSLatitude"), 1u);
  std::string bytes = photo;
  std::string why;
  posix::PosixPhotoPreparer preparer;
  ASSERT_TRUE(preparer.RemoveLocation(bytes, why)) << why;

  auto expected = PhotoTags(photo);
  std::erase_if(expected, [](const auto& tag) {
    return tag.first.find("GPS") != std::string::npos;  // the GPS directory, its pointer, the XMP GPS
  });
  auto after = PhotoTags(bytes);
  after.erase("Exif.Image.ExifTag");  // the EXIF directory's offset moves with the GPS one gone
  expected.erase("Exif.Image.ExifTag");
  EXPECT_EQ(after, expected);
  EXPECT_EQ(after.at("Exif.Image.Orientation"), "6");
  EXPECT_EQ(ImageData(bytes), ImageData(photo)) << "the image data is not re-encoded";

  std::string text = "not an image";
  EXPECT_FALSE(preparer.RemoveLocation(text, why));
  EXPECT_FALSE(why.empty());
}

TEST(PosixPhotoPreparer, ReencodesKeepingOrientationAndColourProfile) {
  const std::string photo =
      MakeJpeg({.width = 400, .height = 300, .colourProfile = true, .tags = kOtherTags});
  ASSERT_TRUE(ShapeOf(photo).colourProfile);
  std::string why;
  posix::PosixPhotoPreparer preparer;
  const auto decoded = preparer.DecodeJpeg(photo, why);
  ASSERT_NE(decoded, nullptr) << why;
  EXPECT_EQ(decoded->longSide(), 400);
  const auto smaller = decoded->Encode(60, 200);
  ASSERT_TRUE(smaller.has_value());
  const auto shape = ShapeOf(*smaller);
  EXPECT_EQ(shape.width, 200);
  EXPECT_EQ(shape.height, 150);
  EXPECT_TRUE(shape.colourProfile);
  EXPECT_EQ(PhotoTags(*smaller).at("Exif.Image.Orientation"), "6");
  EXPECT_EQ(PhotoTags(*smaller).at("Exif.Image.Artist"), "Tester");

  EXPECT_EQ(preparer.DecodeJpeg("\xFF\xD8\xFF garbage", why), nullptr);
  EXPECT_FALSE(why.empty());
}

}  // namespace
}  // namespace wharfling
