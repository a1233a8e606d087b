// The choosers under Wine as a user works them: the site chooser at start-up (a double-click on a
// row chooses its destination and saves it; a double-click on no row, or closing, keeps or resets
// it as the dialog's rules say) and the album chooser (the row double-clicked, identical texts told
// apart by their place, and no choice when it is closed without one).

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/wine/wine_test.h"

namespace wharfling::testing {
namespace {

namespace fs = std::filesystem;

struct SiteChoice {
  const char* name;
  const char* action;  // in the chooser, as the probe's --site-choice takes it
  const char* button;  // the destination button's caption afterwards
  int saved;           // Settings/Select001 afterwards; 6 was stored before
};

const SiteChoice kSiteChoices[] = {
    {"DoubleClickFirstRow", "dblclick:0", "Parvault", 1},
    {"DoubleClickSecondRowIsZorg", "dblclick:1", "Zorg", 3},
    {"DoubleClickSeventhRowIsOlio", "dblclick:6", "Olio", 8},
    {"DoubleClickOnNoRowKeepsTheStoredSite", "dblclick-none", "PHOTOHITO", 6},
    {"CancelSelectsParvault", "cancel", "Parvault", 1},
};

class SiteChooserTest : public WineTest, public ::testing::WithParamInterface<SiteChoice> {};

TEST_P(SiteChooserTest, ChoosesAsTheRowsSay) {
  const SiteChoice& choice = GetParam();
  RegisterModule();
  ForgetSettings();
  TempDir photos;
  const std::string photo = photos.WriteFile("photo.jpg", "12345");
  std::vector<std::string> args = {
      "drop",          "--setting",  "Mode/multi=#1", "--setting", "Settings/Select001=#6",
      "--site-choice", choice.action};
  const std::string screenshot = std::string(WHARFLING_SCREENSHOT_DIR) + "/site-chooser-win32.png";
  if (std::string(choice.action) == "cancel") {
    fs::create_directories(WHARFLING_SCREENSHOT_DIR);
    args.insert(args.end(), {"--chooser-screenshot", WineSession::WindowsPath(screenshot)});
  }
  args.insert(args.end(), {"--", WineSession::WindowsPath(photo)});
  const auto run = wine().Probe(args).output;

  EXPECT_EQ(run["chooser.rows"], "13");
  EXPECT_EQ(run.All("chooser.outside"), std::vector<std::string>{}) << "every control can be seen";
  EXPECT_EQ(run.All("chooser.overflow"), std::vector<std::string>{}) << "every text fits its control";
  EXPECT_EQ(run["chooser.cancel"], "キャンセル visible");
  EXPECT_EQ(run["start.button"], std::string(choice.button) + " hidden enabled");
  const auto values =
      wine().Probe({"regdump", "HKCU\\Software\\Ferrowind\\wharfling\\Settings"}).output.All("value");
  EXPECT_EQ(values, std::vector<std::string>{"Software\\Ferrowind\\wharfling\\Settings|Select001|REG_DWORD|" +
                                             std::to_string(choice.saved)});
  if (std::string(choice.action) == "cancel") {
    EXPECT_TRUE(fs::exists(screenshot));
  }
}

INSTANTIATE_TEST_SUITE_P(Actions, SiteChooserTest, ::testing::ValuesIn(kSiteChoices),
                         [](const auto& entry) { return std::string(entry.param.name); });

struct AlbumChoice {
  const char* name;
  std::vector<std::string> albums;
  const char* action;
  const char* doubleClicked;
  int selection;
};

const AlbumChoice kAlbumChoices[] = {
    {"SecondOfTwoIdenticalTexts", {"旅行", "旅行", "Home"}, "dblclick:1", "yes", 1},
    {"FirstOfTwoIdenticalTexts", {"旅行", "旅行", "Home"}, "dblclick:0", "yes", 0},
    {"DoubleClickOnNoRowThenCancel", {"旅行", "Home"}, "dblclick-none", "no", -1},
    {"Cancel", {"旅行", "Home"}, "cancel", "no", -1},
    {"SystemMenuClose", {"旅行", "Home"}, "close", "no", -1},
    {"EmptyList", {}, "cancel", "no", -1},
};

class AlbumChooserTest : public WineTest, public ::testing::WithParamInterface<AlbumChoice> {};

TEST_P(AlbumChooserTest, ReportsTheRowDoubleClickedOrNone) {
  const AlbumChoice& choice = GetParam();
  std::vector<std::string> args = {"albums", wine().ModuleWindowsPath(), choice.action};
  const std::string screenshot = std::string(WHARFLING_SCREENSHOT_DIR) + "/album-chooser-win32.png";
  if (std::string(choice.name) == "SecondOfTwoIdenticalTexts") {  // photographed once
    fs::create_directories(WHARFLING_SCREENSHOT_DIR);
    args.insert(args.end(), {"--screenshot", WineSession::WindowsPath(screenshot)});
  }
  args.insert(args.end(), choice.albums.begin(), choice.albums.end());
  const auto run = wine().Probe(args).output;
  EXPECT_EQ(run.All("albums.row"), choice.albums) << "every text, in order, as given";
  EXPECT_EQ(run.All("albums.outside"), std::vector<std::string>{}) << "every control can be seen";
  EXPECT_EQ(run.All("albums.overflow"), std::vector<std::string>{}) << "every text fits its control";
  EXPECT_EQ(run["albums.doubleclicked"], choice.doubleClicked);
  EXPECT_EQ(run["albums.selection"], std::to_string(choice.selection));
}

INSTANTIATE_TEST_SUITE_P(Actions, AlbumChooserTest, ::testing::ValuesIn(kAlbumChoices),
                         [](const auto& entry) { return std::string(entry.param.name); });

}  // namespace
}  // namespace wharfling::testing
