// Thumbnails made by the helper program: what the built parvault-thumbnailer makes and refuses, and
// how the server treats a helper that fails, hangs, floods its output or is cancelled (stand-in
// scripts in its place).

#include "server/library/thumbnails.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "server/base/unique_fd.h"
#include "tests/support/file_inspection.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_photos.h"

namespace wharfling::server {
namespace {

using namespace std::chrono_literals;
using wharfling::testing::TempDir;

// The in-process servers of these tests do not sit beside the built helper: they are told where it
// is before any test runs.
[[maybe_unused]] const bool kHelperNamed = ::setenv("PARVAULT_THUMBNAILER", PARVAULT_THUMBNAILER, 0) == 0;

UniqueFd PhotoFile(const std::string& bytes) {
  UniqueFd fd(::memfd_create("photo", MFD_CLOEXEC));
  if (::write(fd.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) fd.Reset();
  return fd;
}

// A JPEG header that claims 20000 x 20000 pixels (one component), over the ceiling, and no image data
// worth decoding.
std::string HugeJpegHeader() {
  std::string bytes("\xFF\xD8", 2);
  bytes += std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x01');
  bytes += std::string("\xFF\xC0\x00\x0B\x08\x4E\x20\x4E\x20\x01\x01\x11\x00", 13);
  bytes += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
  return bytes + std::string(32, '\0') + "\xFF\xD9";
}

struct RealCase {
  std::string name;
  std::string picture;
  int width;  // of the thumbnail; 0: none is made
  int height;
  std::string reason;  // a part of why, when none is made
};

class RealThumbnailerTest : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealThumbnailerTest, MakesTheThumbnailOrSaysWhyThePictureFails) {
  const UniqueFd photo = PhotoFile(GetParam().picture);
  ThumbnailWork work(PARVAULT_THUMBNAILER, 60s);
  std::string why;
  bool pictureAtFault = false;
  const auto thumbnail = MakeThumbnail(photo.get(), kThumbnailSize, why, &work, &pictureAtFault);
  if (GetParam().width == 0) {
    EXPECT_FALSE(thumbnail);
    EXPECT_TRUE(pictureAtFault);
    EXPECT_THAT(why, ::testing::HasSubstr(GetParam().reason));
    return;
  }
  ASSERT_TRUE(thumbnail) << why;
  const auto shape = wharfling::testing::ShapeOf(*thumbnail);
  EXPECT_EQ(shape.width, GetParam().width);
  EXPECT_EQ(shape.height, GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, RealThumbnailerTest,
    ::testing::Values(RealCase{"Wide",
                               wharfling::testing::MakeJpeg({.width = 1280, .height = 960, .tags = {}}), 320,
                               240, ""},
                      RealCase{"Tall",
                               wharfling::testing::MakeJpeg({.width = 600, .height = 800, .tags = {}}), 240,
                               320, ""},
                      RealCase{"Broken", "\xFF\xD8\xFF broken", 0, 0, "VipsJpeg"},
                      RealCase{"NotAPicture", "plain text", 0, 0, "not in a known format"},
                      RealCase{"OverThePixelCeiling", HugeJpegHeader(), 0, 0, "too many pixels"}),
    [](const auto& param) { return param.param.name; });

// A stand-in for the helper: a shell script that notes its pid, then does what the case says.
std::string StandIn(const TempDir& dir, const std::string& body) {
  const std::string path =
      dir.WriteFile("helper", "#!/bin/sh\necho $$ >'" + (dir.path() / "pid").string() + "'\n" + body + "\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

// The stand-in's pid, once it has written it.
pid_t StandInPid(const TempDir& dir) {
  for (int tries = 0; tries < 1000; ++tries) {
    const std::string text = wharfling::testing::FileContents(dir.path() / "pid");
    if (text.ends_with('\n')) return std::stoi(text);
    std::this_thread::sleep_for(10ms);
  }
  return -1;
}

// Reaped, not merely ended: a zombie still answers a signal 0.
bool Reaped(pid_t pid) { return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH; }

struct StandInCase {
  std::string name;
  std::string script;
  std::string why;
  bool pictureAtFault;
};

class StandInHelperTest : public ::testing::TestWithParam<StandInCase> {};

TEST_P(StandInHelperTest, EndsWithItsReasonAndIsReaped) {
  TempDir dir;
  ThumbnailWork work(StandIn(dir, GetParam().script), 500ms);
  const UniqueFd photo = PhotoFile("picture bytes");
  std::string why;
  bool pictureAtFault = !GetParam().pictureAtFault;
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_FALSE(MakeThumbnail(photo.get(), kThumbnailSize, why, &work, &pictureAtFault));
  // Far below the minute a stand-in sleeps: it was not waited for.
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 20s);
  EXPECT_EQ(why, GetParam().why);
  EXPECT_EQ(pictureAtFault, GetParam().pictureAtFault);
  EXPECT_TRUE(Reaped(StandInPid(dir)));
}

INSTANTIATE_TEST_SUITE_P(
    Helpers, StandInHelperTest,
    ::testing::Values(StandInCase{"CannotRead",
                                  "echo 'a warning first' >&2; echo 'not a known picture format' >&2; exit 1",
                                  "not a known picture format", true},
                      StandInCase{"EndedByItsCpuLimit", "kill -XCPU $$",
                                  "the thumbnailer was ended by signal 24 (CPU time limit exceeded)", true},
                      StandInCase{"CouldNotStartItsLibrary", "echo 'libvips did not start' >&2; exit 2",
                                  "libvips did not start", false},
                      StandInCase{"WritesNoJpeg", "printf GIF89a", "the thumbnailer wrote no JPEG", false},
                      StandInCase{"Hangs", "exec sleep 60", "the thumbnailer took longer than 500 ms", false},
                      StandInCase{"ClosesItsOutputAndLingers", "exec >/dev/null 2>&1; exec sleep 60",
                                  "the thumbnailer took longer than 500 ms", false},
                      StandInCase{"FloodsItsOutput", "exec cat /dev/zero",
                                  "the thumbnailer wrote more than 4194304 bytes", false}),
    [](const auto& param) { return param.param.name; });

TEST(ThumbnailWorkTest, CancelKillsTheRunningHelper) {
  TempDir dir;
  ThumbnailWork work(StandIn(dir, "exec sleep 60"), 60s);
  const UniqueFd photo = PhotoFile("picture bytes");
  std::string why;
  bool pictureAtFault = true;
  std::optional<std::string> thumbnail;
  std::thread maker(
      [&] { thumbnail = MakeThumbnail(photo.get(), kThumbnailSize, why, &work, &pictureAtFault); });
  const pid_t helper = StandInPid(dir);
  work.Cancel();
  maker.join();
  EXPECT_FALSE(thumbnail);
  EXPECT_EQ(why, "cancelled");
  EXPECT_FALSE(pictureAtFault);
  EXPECT_TRUE(Reaped(helper));
}

TEST(ThumbnailWorkTest, AMissingHelperIsNoFaultOfThePicture) {
  const UniqueFd photo = PhotoFile("picture bytes");
  ThumbnailWork work("/nonexistent/parvault-thumbnailer", 60s);
  std::string why;
  bool pictureAtFault = true;
  EXPECT_FALSE(MakeThumbnail(photo.get(), kThumbnailSize, why, &work, &pictureAtFault));
  EXPECT_EQ(why, "cannot start /nonexistent/parvault-thumbnailer: No such file or directory");
  EXPECT_FALSE(pictureAtFault);
}

}  // namespace
}  // namespace wharfling::server
