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

// Both programs are one product: whatever its file name, the desktop program uses the terminal
// program's wharfling.ini, after taking over once what only its former wharfling-desktop.ini held.
TEST(DesktopProgram, SharesTheTerminalProgramsProfileWhateverItsName) {
  ParvaultTestServer server;
  TempDir dir;
  const auto config = dir.path() / "config";
  const std::string former = "[Settings]\nSelect001=9\nId002=alice\nPw002=secret\n";
  dir.WriteFile("config/wharfling-desktop.ini", former);
  dir.WriteFile("config/wharfling.ini", "[Settings]\nSelect001=2\n");  // where both hold one, it wins
  dir.WriteFile("config/endpoints.ini",
                "[Endpoints]\ninhouse.server=127.0.0.1:" + std::to_string(server.port()) + "\n");
  const auto renamed = dir.path() / "photo-send";
  std::filesystem::copy_file(WHARFLING_DESKTOP_PROGRAM, renamed);
  const auto a = dir.WriteFile("photos/a.jpg", std::string(300, 'a'));
  const std::string environment = "WHARFLING_CONFIG_DIR=" + ShellQuote(config.string());
  const auto run = RunCommand("QT_QPA_PLATFORM=offscreen " + environment + " WHARFLING_DESKTOP_SNAPSHOT=" +
                                  ShellQuote("upload:" + (dir.path() / "w.png").string()),
                              renamed.string(), ShellQuote(a));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FileContents(server.folderOf("alice") / "a.jpg"), std::string(300, 'a'));
  EXPECT_EQ(
      FileContents(config / "wharfling.ini"),
      "[Settings]\nSelect001=2\nId002=alice\nPw002=secret\n\n[Profile]\nMergedFrom=wharfling-desktop.ini\n");
  EXPECT_EQ(FileContents(config / "wharfling-desktop.ini"), former);
  EXPECT_FALSE(std::filesystem::exists(config / "photo-send.ini"));

  const auto shown =
      RunCommand("DBUS_SESSION_BUS_ADDRESS= XDG_RUNTIME_DIR= " + environment, WHARFLING_CLI, "config");
  EXPECT_NE(shown.out.find("former     " + (config / "wharfling-desktop.ini").string() +
                           " (no longer read: its values were merged into the profile)\n"),
            std::string::npos)
      << shown.out;
}

// A typo in the profile must not send the account to destination 1: the dialog does not open.
TEST(DesktopProgram, RefusesSettingsItCannotUse) {
  TempDir dir;
  dir.WriteFile("config/wharfling.ini", "[Settings]\nSelect001=two\nParvaultD=alice\nParvaultW=secret\n");
  const auto run = RunCommand(
      "QT_QPA_PLATFORM=offscreen WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()) +
          " WHARFLING_DESKTOP_SNAPSHOT=" + ShellQuote("upload:" + (dir.path() / "w.png").string()),
      WHARFLING_DESKTOP_PROGRAM, ShellQuote(dir.WriteFile("a.jpg", "photo")));
  EXPECT_EQ(run.status, 78);
  EXPECT_NE(run.err.find("wharfling.ini:2: Select001=two"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "w.png")) << "the dialog opened";
}

TEST(DesktopProgram, WithoutPathsPrintsItsUsage) {
  EXPECT_EQ(RunCommand("", WHARFLING_DESKTOP_PROGRAM, "").status, 64);
  EXPECT_EQ(RunCommand("QT_QPA_PLATFORM=offscreen", WHARFLING_DESKTOP_PROGRAM, "--bogus x").status, 64);
}

}  // namespace
}  // namespace wharfling::testing

#endif
