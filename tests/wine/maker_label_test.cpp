// The maker's label under Wine: the pointer over it turns it red with a hand cursor and away again
// blue, always underlined; a click opens the maker's address with the shell's "open" of its URL
// type, else with the command registered for .htm files, else says why in a message box. The
// programs that "open" it are the probe's recorder, so what they were given can be checked.

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/wine/wine_test.h"

namespace wharfling::testing {
namespace {

struct LabelCase {
  const char* name;
  bool shellOpens;     // http's open command is the recorder
  bool htmHandler;     // the .htm type's open command is the recorder
  const char* opened;  // what the recorder was given, or "nothing"
  std::vector<std::string> messages;
  const char* clickedColour;
};

const LabelCase kLabelCases[] = {
    {"ShellOpens", true, false, "shell|http://www.orsolan.example/", {}, "551a8b"},
    {"HtmHandlerWhenTheShellCannot", false, true, "htm|http://www.orsolan.example/", {}, "551a8b"},
    {"NeitherSaysWhy",
     false,
     false,
     "nothing",
     {"Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension."},
     "0000ee"},
};

class MakerLabelTest : public WineTest, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(MakerLabelTest, HoverAndClick) {
  const LabelCase& label = GetParam();
  RegisterModule();
  ForgetSettings();
  TempDir scratch;
  const std::string opened = WineSession::WindowsPath((scratch.path() / "opened.txt").string());
  const std::string recorder = wine().ProbeWindowsPath() + " record " + opened;
  // Nothing of the prefix's own browser may run: both ways are first taken away.
  for (const char* key : {"HKCR\\http", "HKCR\\.htm", "HKCR\\htmlfile"})
    wine().Windows("reg", {"delete", key, "/f"});
  if (label.shellOpens)
    wine().Windows("reg",
                   {"add", "HKCR\\http\\shell\\open\\command", "/ve", "/d", recorder + " shell %1", "/f"});
  if (label.htmHandler) {
    wine().Windows("reg", {"add", "HKCR\\.htm", "/ve", "/d", "htmlfile", "/f"});
    wine().Windows(
        "reg", {"add", "HKCR\\htmlfile\\shell\\open\\command", "/ve", "/d", recorder + " htm \"%1\"", "/f"});
  }
  const std::string photo = scratch.WriteFile("photo.jpg", "12345");
  const auto run = wine().Probe({"drop", "--label", opened, "--", WineSession::WindowsPath(photo)}).output;

  EXPECT_EQ(run["link.colour"], "0000ee");
  EXPECT_EQ(run["hover.colour"], "ff0000");
  EXPECT_EQ(run["hover.cursor"], "hand");
  EXPECT_EQ(run["left.colour"], "0000ee");
  EXPECT_EQ(run["left.underline"], "underlined");
  EXPECT_EQ(run["opened"], label.opened);
  std::vector<std::string> messages = run.All("message");
  messages.erase(messages.begin());  // the start-up's request for an account
  EXPECT_EQ(messages, label.messages);
  EXPECT_EQ(run["clicked.colour"], label.clickedColour) << "visited only after a successful open";
}

INSTANTIATE_TEST_SUITE_P(Ways, MakerLabelTest, ::testing::ValuesIn(kLabelCases),
                         [](const auto& entry) { return std::string(entry.param.name); });

}  // namespace
}  // namespace wharfling::testing
