#include "platform/posix/profile_merge.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/support/file_inspection.h"
#include "tests/support/temp_dir.h"

namespace wharfling::posix {
namespace {

using Item = std::pair<std::string, Text>;  // value name, ID

class FakeSecrets final : public SecretStore {
 public:
  explicit FakeSecrets(std::map<Item, Text> items) : kept(std::move(items)) {}
  std::optional<Text> Lookup(std::string_view valueName, std::string_view account) override {
    const auto found = kept.find(Item(valueName, account));
    return found == kept.end() ? std::nullopt : std::optional<Text>(found->second);
  }
  bool Store(std::string_view valueName, std::string_view account, std::string_view password) override {
    kept[Item(valueName, account)] = Text(password);
    return true;
  }
  std::map<Item, Text> kept;
};

class ProfileMergeTest : public ::testing::Test {
 protected:
  std::filesystem::path Folder() const { return temp_.path() / "Ferrowind"; }
  std::string Profile() const { return testing::FileContents(Folder() / "wharfling.ini"); }

  testing::TempDir temp_;
  std::ostringstream errors_;
};

TEST_F(ProfileMergeTest, TakesOverWhatOnlyTheFormerProfileHoldsOnce) {
  const std::string former =
      "[Settings]\nSelect001=9\nId002=desk\nId003=carol\nPw003=c-pw\n[Mode]\nmulti=1\n[Other]\nkept=yes\n";
  temp_.WriteFile("Ferrowind/wharfling-desktop.ini", former);
  temp_.WriteFile("Ferrowind/wharfling.ini", "[Settings]\nSelect001=2\nId002=term\n");
  IniSettingsStore store(Folder(), "wharfling", errors_);
  const FormerProfile merged = MergeFormerDesktopProfile(store, nullptr, nullptr);
  EXPECT_TRUE(merged.merged);
  EXPECT_TRUE(merged.problems.empty());
  EXPECT_EQ(merged.path, Folder() / "wharfling-desktop.ini");
  EXPECT_EQ(
      Profile(),
      "[Settings]\nSelect001=2\nId002=term\nId003=carol\nPw003=c-pw\n\n[Mode]\nmulti=1\n\n[Other]\nkept=yes\n"
      "\n[Profile]\nMergedFrom=wharfling-desktop.ini\n");
  EXPECT_EQ(store.ReadText("Settings", "Id003"), Text("carol")) << "this program reads what it merged";
  EXPECT_EQ(testing::FileContents(Folder() / "wharfling-desktop.ini"), former) << "left as it was";

  // Once: a value removed afterwards does not come back.
  temp_.WriteFile("Ferrowind/wharfling.ini",
                  "[Settings]\nSelect001=2\n[Profile]\nMergedFrom=wharfling-desktop.ini\n");
  IniSettingsStore later(Folder(), "wharfling", errors_);
  EXPECT_TRUE(MergeFormerDesktopProfile(later, nullptr, nullptr).merged);
  EXPECT_EQ(Profile(), "[Settings]\nSelect001=2\n[Profile]\nMergedFrom=wharfling-desktop.ini\n");
}

TEST_F(ProfileMergeTest, NothingToMergeWritesNothing) {
  IniSettingsStore store(Folder(), "wharfling", errors_);
  const FormerProfile none = MergeFormerDesktopProfile(store, nullptr, nullptr);
  EXPECT_TRUE(none.path.empty());
  EXPECT_FALSE(std::filesystem::exists(Folder()));
}

TEST_F(ProfileMergeTest, AFormerProfileWithProblemsIsNotMerged) {
  temp_.WriteFile("Ferrowind/wharfling-desktop.ini", "[Settings]\nSelect001=two\nId002=x\n");
  IniSettingsStore store(Folder(), "wharfling", errors_);
  const FormerProfile found = MergeFormerDesktopProfile(store, nullptr, nullptr);
  EXPECT_FALSE(found.merged);
  ASSERT_EQ(found.problems.size(), 1u);
  EXPECT_NE(found.problems[0].find("wharfling-desktop.ini:2: Select001=two"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Folder() / "wharfling.ini"));
}

// A keyring password comes along only where it would not pair with another ID's, nor replace the
// profile's own.
TEST_F(ProfileMergeTest, TakesOverKeyringPasswordsThatBelongToTheMergedId) {
  temp_.WriteFile("Ferrowind/wharfling-desktop.ini",
                  "[Settings]\nId002=term\nId003=carol\nId005=x\nId006=dave\nPw006=in-file\n");
  temp_.WriteFile("Ferrowind/wharfling.ini", "[Settings]\nId002=term\nId005=y\n");
  FakeSecrets former({{{"Pw002", "term"}, "desk-2"},
                      {{"Pw003", "carol"}, "desk-3"},
                      {{"Pw004", ""}, "desk-4"},
                      {{"Pw005", "x"}, "desk-5"},
                      {{"Pw006", "dave"}, "desk-6"}});
  FakeSecrets keyring({{{"Pw002", "term"}, "term-2"}});
  IniSettingsStore store(Folder(), "wharfling", errors_);
  ASSERT_TRUE(MergeFormerDesktopProfile(store, &former, &keyring).merged);
  EXPECT_EQ(keyring.kept, (std::map<Item, Text>{{{"Pw002", "term"}, "term-2"},  // the terminal's wins
                                                {{"Pw003", "carol"}, "desk-3"},
                                                {{"Pw004", ""}, "desk-4"}}));
  // Pw005 belongs to x while the merged ID is y; Pw006 comes from the file itself.
  EXPECT_EQ(store.ReadText("Settings", "Pw006"), Text("in-file"));
}

}  // namespace
}  // namespace wharfling::posix
