// The drop handler as the shell uses it under Wine: created through COM, offered data objects with
// and without files, and a drop that opens the upload dialog, shown on Xvfb and photographed.

#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"
#include "tests/wine/wine_test.h"

namespace wharfling::testing {
namespace {

namespace fs = std::filesystem;

class DropHandlerTest : public WineTest {
 protected:
  void SetUp() override {
    WineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    RegisterModule();
    ForgetSettings();
  }
};

TEST_F(DropHandlerTest, DragEnterCollectsFilesAndRefusesDataWithoutThem) {
  const auto run = wine().Probe({"dragenter", "C:\\photos\\one.jpg", "C:\\photos\\two.jpg"}).output;
  const struct {
    const char* key;
    const char* expected;
  } kExpectations[] = {
      {"create.hr", "0x00000000"},
      {"load.hr", "0x00000000"},
      {"getclassid.hr", "0x80004001"},  // E_NOTIMPL
      {"nothing.hr", "0x80070057"},     // no CF_HDROP on a fresh object: E_INVALIDARG
      {"nothing.effect", "0"},
      {"nofiles.hr", "0x80070057"},  // CF_HDROP with no paths
      {"nofiles.effect", "0"},
      {"files.hr", "0x00000000"},
      {"files.effect", "1"},  // DROPEFFECT_COPY
      {"dragover.hr", "0x80004001"},
      {"dragover.effect", "7"},  // untouched
      {"dragleave.hr", "0x00000000"},
      {"nothing.after.hr", "0x00000000"},  // the paths of the earlier DragEnter are kept
      {"nothing.after.effect", "1"},
  };
  for (const auto& expectation : kExpectations) {
    EXPECT_EQ(run[expectation.key], expectation.expected) << expectation.key;
  }
}

TEST_F(DropHandlerTest, DropOpensTheDialogOverTheFilesAndAlwaysSucceeds) {
  TempDir photos;
  const std::string small = photos.WriteFile("b-small.jpg", "12345");
  const std::string large = photos.WriteFile("a-large.jpg", std::string(2000001, 'x'));
  const std::string folder = (photos.path() / "folder").string();
  fs::create_directories(folder);
  const std::string screenshot = std::string(WHARFLING_SCREENSHOT_DIR) + "/upload-dialog-win32.png";
  fs::create_directories(WHARFLING_SCREENSHOT_DIR);
  fs::remove(screenshot);

  const auto run = wine()
                       .Probe({"drop", "--screenshot", WineSession::WindowsPath(screenshot), "--",
                               WineSession::WindowsPath(small), WineSession::WindowsPath(large),
                               WineSession::WindowsPath(folder), WineSession::WindowsPath(small)})
                       .output;
  EXPECT_EQ(run["start.title"], "ｱｯﾌﾟﾛｰﾀﾞ:選択ﾌｧｲﾙ数[2]:総ﾌｧｲﾙｻｲｽﾞ[10]") << "the duplicate counts twice";
  EXPECT_EQ(run.All("start.row"), (std::vector<std::string>{"b-small.jpg|5|--", "b-small.jpg|5|--"}));
  EXPECT_EQ(run["start.button"], "Parvault hidden enabled");
  EXPECT_EQ(run["start.progress"], "0/2");
  EXPECT_EQ(run.All("start.overflow"), std::vector<std::string>{}) << "every text fits its control";
  EXPECT_EQ(run.All("start.outside"), std::vector<std::string>{}) << "every control can be seen";
  EXPECT_EQ(run["start.label"], "Orsolan Co.Ltd underlined notify") << "the maker's link, always underlined";
  EXPECT_EQ(
      run.All("message"),
      (std::vector<std::string>{"アカウントを設定してください。",
                                "ﾌｧｲﾙｻｲｽﾞが、2000000[Byte]を越えるもの[2000001]、またはフォルダは"
                                "ｱｯﾌﾟﾛｰﾄﾞ対象から除外されました。" +
                                    WineSession::WindowsPath(folder) + "は、フォルダなので無視されます。"}));
  EXPECT_EQ(run["drop.hr"], "0x00000000");
  EXPECT_EQ(run["drop.effect"], "1");

  std::ifstream png(screenshot, std::ios::binary);
  std::string header(24, '\0');
  ASSERT_TRUE(png.read(header.data(), 24)) << "no screenshot at " << screenshot;
  EXPECT_EQ(header.substr(0, 8), "\x89PNG\r\n\x1a\n");
  const auto dimension = [&](std::size_t at) {
    return (static_cast<unsigned char>(header[at]) << 24) |
           (static_cast<unsigned char>(header[at + 1]) << 16) |
           (static_cast<unsigned char>(header[at + 2]) << 8) | static_cast<unsigned char>(header[at + 3]);
  };
  // 258 x 97 dialog units of an 8-point font: some 390 x 160 pixels and the frame.
  EXPECT_GT(dimension(16), 350);
  EXPECT_GT(dimension(20), 140);
}

}  // namespace
}  // namespace wharfling::testing
