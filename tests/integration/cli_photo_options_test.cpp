// wharfling upload --fit and --strip-location against the in-house server: what arrives is what the
// options promise, and the file on disk stays as it was.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/command_run.h"
#include "tests/support/file_inspection.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_photos.h"

namespace wharfling::testing {
namespace {

constexpr std::uint32_t kLimit = 2000000;

class PhotoOptionsCli : public ::testing::Test {
 protected:
  // The server refuses files over the limit; the profile gives the destination the same limit.
  PhotoOptionsCli()
      : server({}, [](server::ParvaultServerOptions& options) { options.maxFileSize = kLimit; }) {
    dir.WriteFile("config/wharfling.ini",
                  "[Settings]\nSelect001=2\nId002=alice\nPw002=secret\niparvault_maxsize=" +
                      std::to_string(kLimit) + "\n");
    dir.WriteFile("config/endpoints.ini",
                  "[Endpoints]\ninhouse.server=127.0.0.1:" + std::to_string(server.port()) + "\n");
  }

  // Runs the upload and returns its JSON report; the exit status must be the expected one.
  nlohmann::json Upload(const std::string& options, const std::string& path, int expectedStatus) {
    const auto run = RunCommand("WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()),
                                WHARFLING_CLI, "upload --json " + options + " " + ShellQuote(path));
    EXPECT_EQ(run.status, expectedStatus) << run.out << run.err;
    return nlohmann::json::parse(run.out);
  }
  std::string Stored(const std::string& name) const { return FileContents(server.folderOf("alice") / name); }

  TempDir dir;
  ParvaultTestServer server;
};

TEST_F(PhotoOptionsCli, FitBringsAFiveMegabyteJpegUnderTheLimitWithItsOrientation) {
  const std::string original =
      MakeJpeg({.width = 2600, .height = 2000, .quality = 97, .tags = {{"Exif.Image.Orientation", "6"}}});
  ASSERT_GT(original.size(), 5000000u);
  const std::string path = dir.WriteFile("big.jpg", original);

  const auto report = Upload("--fit", path, 0);
  EXPECT_EQ(report["rows"][0]["size"], original.size()) << "the row shows the real size";
  EXPECT_EQ(report["rows"][0]["status"], "成功");
  const std::string stored = Stored("big.jpg");
  EXPECT_LE(stored.size(), kLimit);
  EXPECT_GT(stored.size(), kLimit * 9 / 10) << "the largest that fits, not any that fits";
  EXPECT_GT(ShapeOf(stored).width, 0) << "a valid JPEG";
  EXPECT_EQ(PhotoTags(stored).at("Exif.Image.Orientation"), "6");
  EXPECT_EQ(FileContents(path), original) << "the file on disk is untouched";

  const auto without = Upload("", path, 2);
  EXPECT_EQ(without["skipped"][0]["kind"], "too-large") << "off unless asked for";
}

TEST_F(PhotoOptionsCli, StripLocationSendsEveryTagButTheLocation) {
  std::map<std::string, std::string> tags = kGpsTags;
  tags.insert(
      {{"Exif.Image.Orientation", "3"}, {"Exif.Image.Artist", "Tester"}, {"Xmp.dc.creator", "Tester"}});
  const std::string original = MakeJpeg({.tags = tags});
  const std::string path = dir.WriteFile("home.jpg", original);

  EXPECT_EQ(Upload("--strip-location", path, 0)["rows"][0]["status"], "成功");
  const auto stored = PhotoTags(Stored("home.jpg"));
  auto expected = PhotoTags(original);
  for (const auto& [key, value] : expected) {
    if (key.find("GPS") != std::string::npos) {
      EXPECT_EQ(stored.count(key), 0u) << key;
    }
  }
  std::erase_if(expected, [](const auto& tag) { return tag.first.find("GPS") != std::string::npos; });
  for (const auto& [key, value] : expected) {
    if (key != "Exif.Image.ExifTag") {
      EXPECT_EQ(stored.count(key) ? stored.at(key) : "(gone)", value) << key;
    }
  }
  EXPECT_EQ(FileContents(path), original) << "the file on disk is untouched";
}

TEST_F(PhotoOptionsCli, WhatFitCannotShrinkIsExcludedOrFailsWithItsReason) {
  const struct {
    const char* name;
    std::string bytes;
    const char* skippedKind;  // nullptr: accepted, then failed in its row
    const char* status;
  } cases[] = {
      {"scan.jpg", "\x89PNG\r\n\x1A\n" + std::string(kLimit, 'p'), "too-large", nullptr},
      {"broken.jpg", "\xFF\xD8\xFF\xE0" + std::string(kLimit, 'z'), nullptr,
       "---失敗---[画像を読み込めません]"},
  };
  for (const auto& c : cases) {
    const auto report = Upload("--fit", dir.WriteFile(c.name, c.bytes), c.skippedKind ? 2 : 1);
    if (c.skippedKind) {
      EXPECT_EQ(report["skipped"][0]["kind"], c.skippedKind) << c.name;
      EXPECT_EQ(report["skipped"][0]["size"], c.bytes.size()) << c.name;
    } else {
      EXPECT_EQ(report["rows"][0]["status"], c.status) << c.name;
      EXPECT_EQ(report["rows"][0]["reason"], "画像を読み込めません") << c.name;
    }
    EXPECT_TRUE(Stored(c.name).empty()) << c.name << ": nothing arrived";
  }
}

}  // namespace
}  // namespace wharfling::testing
