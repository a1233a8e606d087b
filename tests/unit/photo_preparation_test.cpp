// What is done to a photo's bytes before the send: the search for the largest encoding within the
// limit, the GPS marker guard, and the decisions of PreparePhoto, over a preparer made of data.

#include "photo/photo_preparation.h"

#include <gtest/gtest.h>

#include <vector>

#include "photo/location_markers.h"
#include "photo/shrink_search.h"
#include "platform/posix/encoding.h"
#include "tests/support/temp_dir.h"

namespace wharfling {
namespace {

using testing::TempDir;

// An encoder whose output has side * side * quality / 100 bytes: sizes grow with both.
class SizedPhoto final : public DecodedPhoto {
 public:
  explicit SizedPhoto(int side) : side_(side) {}
  int longSide() const override { return side_; }
  std::optional<std::string> Encode(int quality, int longSide) override {
    calls.emplace_back(quality, longSide);
    return std::string(static_cast<std::size_t>(longSide) * longSide * quality / 100, 'j');
  }
  std::vector<std::pair<int, int>> calls;  // (quality, long side)

 private:
  int side_;
};

TEST(ShrinkToLimit, TakesTheLargestEncodingWithinTheLimit) {
  const struct {
    std::size_t limit;
    int side;
    bool fits;
    int quality;  // of the result
    int minSide;  // the result's long side is at least this
  } cases[] = {
      {1000 * 1000, 1000, true, 95, 1000},  // top quality fits already
      {700000, 1000, true, 70, 1000},       // quality 70 gives exactly the limit
      {599999, 1000, true, 60, 980},        // below the floor at full size: smaller, at the floor
      {60000, 1000, true, 60, 300},        {10, 1000, false, 0, 0},  // not even the smallest side fits
  };
  for (const auto& c : cases) {
    SizedPhoto photo(c.side);
    const auto result = ShrinkToLimit(photo, c.limit);
    ASSERT_EQ(result.has_value(), c.fits) << c.limit;
    if (!result) continue;
    EXPECT_LE(result->size(), c.limit);
    // The result is one of the encodings tried: find which.
    int quality = 0, side = 0;
    for (const auto& [q, s] : photo.calls) {
      if (static_cast<std::size_t>(s) * s * q / 100 == result->size()) {
        quality = q;
        side = s;
      }
    }
    EXPECT_EQ(quality, c.quality) << c.limit;
    EXPECT_GE(side, c.minSide) << c.limit;
    for (const auto& [q, s] : photo.calls) {
      EXPECT_GE(q, kQualityFloor);
      if (s < c.side) {
        EXPECT_EQ(q, kQualityFloor) << "dimensions shrink only at the floor";
      }
    }
    EXPECT_LE(photo.calls.size(), 20u);
  }
}

TEST(HoldsLocationMarker, FindsGpsInMetadataOnly) {
  const std::string soi = "\xFF\xD8";
  const auto segment = [](std::string payload) {
    const std::size_t length = payload.size() + 2;
    return std::string("\xFF\xE1", 2) + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF) +
           payload;
  };
  const std::string scan = std::string("\xFF\xDA\x00\x02", 4);
  const struct {
    const char* what;
    std::string bytes;
    bool holds;
  } cases[] = {
      {"GPS directory tag, big-endian", soi + segment(std::string("MM\x00\x2A\x88\x25\x00\x04", 8)) + scan,
       true},
      {"GPS directory tag, little-endian", soi + segment(std::string("II\x2A\x00\x25\x88\x04\x00", 8)) + scan,
       true},
      {"XMP GPS property", soi + segment("<exif:GPSLatitude>35,40N</exif:GPSLatitude>") + scan, true},
      {"no marker", soi + segment("Exif\0\0MM Artist") + scan, false},
      {"GPS in the image data only", soi + segment("Exif") + scan + "GPS", false},
      {"broken segments: every byte searched", soi + std::string("\xFF\xE1\xFF\xFF", 4) + "GPS", true},
      {"not a JPEG, marker", "RIFF....GPS", true},
      {"not a JPEG, none", "RIFF....WEBP", false},
  };
  for (const auto& c : cases) EXPECT_EQ(HoldsLocationMarker(c.bytes), c.holds) << c.what;
}

// A preparer made of data: what it finds, whether removal works, what the decoder gives.
struct ScriptedPreparer final : PhotoPreparer {
  LocationFinding finding = LocationFinding::kNone;
  bool removes = true;
  bool decodes = true;
  int side = 100;
  int removals = 0;

  LocationFinding FindLocation(const std::string&) override { return finding; }
  bool RemoveLocation(std::string& bytes, std::string& why) override {
    ++removals;
    if (!removes) {
      why = "unreadable";
      return false;
    }
    bytes += "-stripped";
    return true;
  }
  std::unique_ptr<DecodedPhoto> DecodeJpeg(std::string_view, std::string& why) override {
    if (decodes) return std::make_unique<SizedPhoto>(side);
    why = "broken";
    return nullptr;
  }
};

TEST(PreparePhoto, DecidesWhatIsSent) {
  const std::string jpeg = "\xFF\xD8\xFF\xE0" + std::string(96, 'p');  // 100 bytes
  const std::string bigJpeg = jpeg + std::string(1900, 'p');           // 2000 bytes
  const struct {
    const char* what;
    std::string file;
    PhotoRules rules;
    LocationFinding finding;
    bool removes, decodes;
    bool failed;
    const char* reason;               // UTF-8
    std::optional<std::string> sent;  // nothing: the file's own bytes, straight from the file
  } cases[] = {
      {"no rule", jpeg, {}, LocationFinding::kPresent, true, true, false, "", std::nullopt},
      {"within the limit, no location",
       jpeg,
       {true, true, 100},
       LocationFinding::kNone,
       true,
       true,
       false,
       "",
       std::nullopt},
      {"location removed",
       jpeg,
       {false, true, 100},
       LocationFinding::kPresent,
       true,
       true,
       false,
       "",
       jpeg + "-stripped"},
      {"unreadable metadata, no marker: as it is",
       jpeg,
       {false, true, 100},
       LocationFinding::kUnreadable,
       false,
       true,
       false,
       "",
       jpeg},
      {"unreadable metadata with a marker",
       jpeg + "GPS",
       {false, true, 100},
       LocationFinding::kUnreadable,
       false,
       true,
       true,
       "位置情報を削除できません",
       std::nullopt},
      // The fake's side 100 at the floor gives 6000 bytes: it shrinks to a side of 40 or so.
      {"over the limit: shrunk",
       bigJpeg,
       {true, false, 1000},
       LocationFinding::kNone,
       true,
       true,
       false,
       "",
       std::nullopt},
      {"over the limit, too small a limit",
       bigJpeg,
       {true, false, 100},
       LocationFinding::kNone,
       true,
       true,
       true,
       "制限サイズまで縮小できません",
       std::nullopt},
      {"over the limit, not a JPEG",
       std::string(2000, 'x'),
       {true, false, 1000},
       LocationFinding::kNone,
       true,
       true,
       true,
       "JPEG以外は縮小できません",
       std::nullopt},
      {"over the limit, undecodable",
       bigJpeg,
       {true, false, 1000},
       LocationFinding::kNone,
       true,
       false,
       true,
       "画像を読み込めません",
       std::nullopt},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.WriteFile("photo.jpg", c.file);
    ScriptedPreparer preparer;
    preparer.finding = c.finding;
    preparer.removes = c.removes;
    preparer.decodes = c.decodes;
    const PreparedPhoto photo = PreparePhoto(preparer, path, c.file.size(), c.rules);
    EXPECT_EQ(photo.failed, c.failed) << c.what;
    EXPECT_EQ(posix::Cp932ToUtf8(photo.reason), c.reason) << c.what;
    if (c.failed) continue;
    if (std::string(c.what) == "over the limit: shrunk") {
      ASSERT_TRUE(photo.bytes.has_value());
      EXPECT_LE(photo.bytes->size(), 1000u);
      EXPECT_GT(photo.bytes->size(), 900u) << "the largest that fits";
      continue;
    }
    EXPECT_EQ(photo.bytes, c.sent) << c.what;
  }
}

}  // namespace
}  // namespace wharfling
