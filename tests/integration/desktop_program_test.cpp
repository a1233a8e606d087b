// wharfling-desktop as a file manager starts it, on the offscreen platform: the snapshot hook
// presses the destination button, the photos reach the in-house server and the window is saved.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/command_run.h"
#include "tests/support/file_inspection.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/temp_dir.h"

#ifdef WHARFLING_DESKTOP_PROGRAM

namespace wharfling::testing {
namespace {

TEST(DesktopProgram, UploadsThePhotosItIsGivenAndSavesThePicture) {
  ParvaultTestServer server;
  TempDir dir;
  dir.WriteFile("config/wharfling-desktop.ini", "[Settings]\nSelect001=2\nId002=alice\nPw002=secret\n");
  dir.WriteFile("config/endpoints.ini",
                "[Endpoints]\ninhouse.server=127.0.0.1:" + std::to_string(server.port()) + "\n");
  const auto a = dir.WriteFile("photos/a.jpg", std::string(300, 'a'));
  const auto b = dir.WriteFile("photos/港.jpg", std::string(500, 'b'));
  const auto picture = dir.path() / "window.png";
  const auto run = RunCommand(
      "QT_QPA_PLATFORM=offscreen WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()) +
          " WHARFLING_DESKTOP_SNAPSHOT=" + ShellQuote("upload:" + picture.string()),
      WHARFLING_DESKTOP_PROGRAM, ShellQuote(a) + " " + ShellQuote(b));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(FileContents(server.folderOf("alice") / "a.jpg"), std::string(300, 'a'));
  EXPECT_EQ(FileContents(server.folderOf("alice") / "港.jpg"), std::string(500, 'b'));
  EXPECT_EQ(FileContents(picture).substr(0, 8), "\x89PNG\r\n\x1a\n");
}

TEST(DesktopProgram, WithoutPathsPrintsItsUsage) {
  EXPECT_EQ(RunCommand("", WHARFLING_DESKTOP_PROGRAM, "").status, 64);
  EXPECT_EQ(RunCommand("QT_QPA_PLATFORM=offscreen", WHARFLING_DESKTOP_PROGRAM, "--bogus x").status, 64);
}

}  // namespace
}  // namespace wharfling::testing

#endif
