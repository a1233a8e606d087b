// The terminal program's shared option parser and the settings layer of its command line.

#include <gtest/gtest.h>

#include "apps/wharfling/command_line.h"
#include "apps/wharfling/command_line_settings.h"
#include "session/settings.h"
#include "tests/support/memory_settings_store.h"

namespace wharfling::cli {
namespace {

constexpr Option kOptions[] = {{"--id", "ID", ""}, {"--json", "", ""}};
constexpr Command kPaths{"try", "PATH...", "", kOptions, "", nullptr};
constexpr Command kPair{"pair", "URL [FILE]", "", kOptions, "", nullptr};

std::optional<ParsedArgs> Parse(const Command& command, std::vector<std::string> words, std::string& error) {
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  return ParseArgs(command, argv, error);
}

TEST(ParseArgs, OptionsValuesAndOperands) {
  const struct {
    const Command* command;
    std::vector<std::string> words;
    std::string id;  // "-" for none
    std::vector<std::string> operands;
    std::string error;  // empty when it parses
  } cases[] = {
      {&kPaths, {"--id", "me", "a"}, "me", {"a"}, ""},
      {&kPaths, {"--id=me=too", "a", "b"}, "me=too", {"a", "b"}, ""},
      {&kPaths, {"a", "--id", "x", "--id", "y"}, "y", {"a"}, ""},  // the last one counts
      {&kPaths, {"--", "-a", "--id"}, "-", {"-a", "--id"}, ""},
      {&kPaths, {"--json", "a"}, "-", {"a"}, ""},
      {&kPaths, {"-"}, "-", {}, "unknown option -"},
      {&kPaths, {"-j", "a"}, "-", {}, "unknown option -j"},
      {&kPaths, {"--ids=1", "a"}, "-", {}, "unknown option --ids"},
      {&kPaths, {"a", "--id"}, "-", {}, "--id needs ID"},
      {&kPaths, {"--json=1", "a"}, "-", {}, "--json takes no value"},
      {&kPaths, {}, "-", {}, "missing PATH"},
      {&kPair, {"u"}, "-", {"u"}, ""},
      {&kPair, {"u", "f"}, "-", {"u", "f"}, ""},
      {&kPair, {}, "-", {}, "missing URL"},
      {&kPair, {"u", "f", "g"}, "-", {}, "unexpected argument g"},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto parsed = Parse(*c.command, c.words, error);
    EXPECT_EQ(error, c.error) << ::testing::PrintToString(c.words);
    if (!parsed) continue;
    EXPECT_EQ(parsed->Value("--id").value_or("-"), c.id);
    EXPECT_EQ(parsed->operands, c.operands);
  }
  std::string error;
  EXPECT_TRUE(Parse(kPaths, {"--id", "x", "-h"}, error)->help) << "help needs no PATH";
}

TEST(CommandLineSettings, AmendsTheSelectionAndAccountUntilTheyAreWritten) {
  testing::MemorySettingsStore profile;
  profile.WriteInt("Settings", "Select001", 3);
  profile.WriteText("Settings", "Pw002", "saved");
  CommandLineSettings settings(profile);
  settings.selection = 2;
  settings.id = "alice";
  EndpointTable endpoints = EndpointTable::Defaults();
  DialogSettings loaded;
  LoadSettings(settings, endpoints, loaded);
  EXPECT_EQ(loaded.siteIndex, 2);
  EXPECT_EQ(loaded.account.id, "alice");
  EXPECT_EQ(loaded.account.password, "saved") << "what the command line leaves out comes from the profile";
  EXPECT_EQ(loaded.account.maxFileSize, 4000000u);

  SaveSettings(settings, loaded, /*selectionOnly=*/false);
  EXPECT_EQ(profile.writes,
            (std::vector<std::string>{"Settings/Select001", "Settings/Pw002", "Settings/Select001",
                                      "Settings/Id002", "Settings/Pw002"}));
  EXPECT_FALSE(settings.selection);
  EXPECT_FALSE(settings.id);
  profile.WriteInt("Settings", "Select001", 5);
  EXPECT_EQ(settings.ReadInt("Settings", "Select001"), 5) << "written once, the profile answers again";
}

}  // namespace
}  // namespace wharfling::cli
