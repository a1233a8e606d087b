// wharfling screen --json: the dialog's start-up as a user runs it, with a profile file.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/support/command_run.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

class ScreenCli : public ::testing::Test {
 protected:
  void Profile(const std::string& ini) { dir.WriteFile("config/wharfling.ini", ini); }
  nlohmann::json Screen(const std::vector<std::string>& paths) {
    std::string arguments = "screen --json";
    for (const auto& path : paths) arguments += " " + ShellQuote(path);
    const auto run = RunCommand("WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()),
                                WHARFLING_CLI, arguments);
    EXPECT_EQ(run.status, 0);
    return nlohmann::json::parse(run.out);
  }
  nlohmann::json Row(const std::string& path, const char* name, std::uint64_t size) {
    return {{"name", name}, {"path", path}, {"size", size}, {"status", "--"}, {"result", "pending"}};
  }

  TempDir dir;
};

TEST_F(ScreenCli, OneFolder) {
  std::filesystem::create_directories(dir.path() / "album");
  const auto json = Screen({(dir.path() / "album").string()});
  EXPECT_EQ(json["title"], "ｱｯﾌﾟﾛｰﾀﾞ:選択ﾌｧｲﾙ数[0]:総ﾌｧｲﾙｻｲｽﾞ[0]");
  EXPECT_EQ(json["rows"], nlohmann::json::array());
  EXPECT_EQ(json["messages"], nlohmann::json::array());
  EXPECT_EQ(json["button"],
            (nlohmann::json{{"caption", "Parvault"}, {"visible", false}, {"enabled", false}}));
  EXPECT_EQ(json["blocked"], true);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "config")) << "nothing is written at first start";
}

TEST_F(ScreenCli, TwoReadableFilesAndOneOversizeWithAnAccount) {
  Profile("[Settings]\nParvaultD=me\nParvaultW=pw\n");
  const auto a = dir.WriteFile("a.jpg", std::string(1234, 'a'));
  const auto b = dir.WriteFile("b.jpg", std::string(1233333, 'b'));
  const auto big = dir.WriteFile("big.jpg", std::string(2000001, 'c'));
  const auto json = Screen({b, big, a});
  EXPECT_EQ(json["title"], "ｱｯﾌﾟﾛｰﾀﾞ:選択ﾌｧｲﾙ数[2]:総ﾌｧｲﾙｻｲｽﾞ[1,234,567]");
  EXPECT_EQ(json["rows"], (nlohmann::json{Row(a, "a.jpg", 1234), Row(b, "b.jpg", 1233333)}));
  EXPECT_EQ(json["messages"], nlohmann::json{"ﾌｧｲﾙｻｲｽﾞが、2000000[Byte]を越えるもの[2000001]"
                                             "、またはフォルダはｱｯﾌﾟﾛｰﾄﾞ対象から除外されました。"});
  EXPECT_EQ(json["button"], (nlohmann::json{{"caption", "Parvault"}, {"visible", true}, {"enabled", true}}));
  EXPECT_EQ(json["blocked"], false);
}

TEST_F(ScreenCli, CreativePeopleWithPhotoScanAndReadme) {
  Profile("[Settings]\nSelect001=5\nId005=me\nPw005=pw\n");
  const auto photo = dir.WriteFile("photo.JPG", "j");
  const auto readme = dir.WriteFile("README", "r");
  const auto json = Screen({photo, dir.WriteFile("scan.png", "p"), readme});
  EXPECT_EQ(json["rows"], (nlohmann::json{Row(photo, "photo.JPG", 1), Row(readme, "README", 1)}));
  EXPECT_EQ(json["messages"], nlohmann::json{"JPEG以外のﾌｧｲﾙは指定できません。"});
  EXPECT_EQ(json["button"]["caption"], "ﾋﾟｰﾌﾟﾙﾌｫﾄ");
}

TEST_F(ScreenCli, CountLimitOfTwoWithThreeFiles) {
  Profile("[Settings]\nParvaultD=me\nParvaultW=pw\n[Mode]\nrule=2\n");
  const auto json =
      Screen({dir.WriteFile("1.jpg", "1"), dir.WriteFile("2.jpg", "2"), dir.WriteFile("3.jpg", "3")});
  EXPECT_EQ(json["rows"].size(), 3u);
  EXPECT_EQ(json["messages"],
            nlohmann::json{
                "一度にアップロードできる最大ファイル数を越えました[3]。アップロードできる最大数は[2]です"});
  EXPECT_EQ(json["button"]["visible"], false);
  EXPECT_EQ(json["button"]["enabled"], false);
  EXPECT_EQ(json["blocked"], true);
}

TEST_F(ScreenCli, EmptyAccount) {
  const auto json = Screen({dir.WriteFile("a.jpg", "a")});
  EXPECT_EQ(json["messages"], nlohmann::json{"アカウントを設定してください。"});
  EXPECT_EQ(json["button"], (nlohmann::json{{"caption", "Parvault"}, {"visible", false}, {"enabled", true}}));
  EXPECT_EQ(json["blocked"], false);
}

TEST_F(ScreenCli, MissingPathIsAScreeningCase) {
  const std::string missing = (dir.path() / "gone.jpg").string();
  const auto json = Screen({missing, dir.WriteFile("a.jpg", "a")});
  EXPECT_EQ(json["messages"].back(), missing + "は、読み込めませんでした。");
}

TEST_F(ScreenCli, NamesShiftJisCannotHoldAreListedAsTheyWillBeSent) {
  const struct {
    const char* name;
    const char* shown;
  } cases[] = {{"café.jpg", "cafe.jpg"}, {"한국.jpg", "??.jpg"}, {"写真😀.jpg", "写真?.jpg"}};
  for (const auto& c : cases) {
    const auto path = dir.WriteFile(c.name, "x");
    EXPECT_EQ(Screen({path})["rows"], nlohmann::json{Row(path, c.shown, 1)}) << c.name;
  }
}

}  // namespace
}  // namespace wharfling::testing
