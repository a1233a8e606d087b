// wharfling register and unregister in a temporary home: the five file-manager entries and the icon,
// their modes, the same result twice, removal that tolerates what is already gone, --prefix, the
// entries' formats (desktop-file-validate, Nemo's action keys), and leaving to the system what its
// data folders already hold.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "tests/support/command_run.h"
#include "tests/support/file_inspection.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

namespace fs = std::filesystem;

struct Expected {
  const char* relative;
  unsigned mode;
  const char* mustContain;
};

const Expected kEntries[] = {
    {"applications/wharfling-upload-parvault.desktop", 0644, "MimeType=image/jpeg;"},
    {"Thunar/sendto/wharfling-upload-parvault.desktop", 0644, "Name=upload Parvault\n"},
    {"nautilus/scripts/upload Parvault", 0755, "NAUTILUS_SCRIPT_SELECTED_FILE_PATHS"},
    {"nemo/actions/wharfling-upload-parvault.nemo_action", 0644, "[Nemo Action]\nName=upload Parvault\n"},
    {"kio/servicemenus/wharfling-upload-parvault.desktop", 0755, "[Desktop Action uploadParvault]\n"},
    {"icons/hicolor/scalable/apps/wharfling.svg", 0644, "<svg "},
};
constexpr std::size_t kIcon = 5;

class RegisterCli : public ::testing::Test {
 protected:
  CommandResult Run(const std::string& arguments) {
    return RunCommand("env -u XDG_DATA_HOME HOME=" + ShellQuote(dir.path().string()) +
                          " XDG_DATA_DIRS=" + ShellQuote((dir.path() / "system").string()),
                      WHARFLING_CLI, arguments);
  }
  std::string Read(const fs::path& path) { return FileContents(path); }
  fs::path Data() const { return dir.path() / ".local/share"; }
  std::string program() const { return (dir.path() / "bin/wharfling-desktop").string(); }

  TempDir dir;
};

TEST_F(RegisterCli, WritesEveryEntryOnceAndRemovesThem) {
  const std::string args = "--program " + ShellQuote(program());
  ASSERT_EQ(Run("register " + args).status, 0);
  std::vector<std::string> first;
  for (const auto& entry : kEntries) {
    const fs::path path = Data() / entry.relative;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0) << entry.relative;
    EXPECT_EQ(info.st_mode & 0777, entry.mode) << entry.relative;
    first.push_back(Read(path));
    EXPECT_NE(first.back().find(entry.mustContain), std::string::npos) << entry.relative;
    if (&entry != &kEntries[kIcon]) {
      EXPECT_NE(first.back().find(program()), std::string::npos) << entry.relative;
    }
  }
  EXPECT_NE(first[0].find("Exec=\"" + program() + "\" %F\n"), std::string::npos);

  dir.WriteFile(".local/share/applications/other.desktop", "[Desktop Entry]\n");
  ASSERT_EQ(Run("register " + args).status, 0);
  for (std::size_t i = 0; i < std::size(kEntries); ++i)
    EXPECT_EQ(Read(Data() / kEntries[i].relative), first[i]);

  fs::remove(Data() / kEntries[2].relative);
  ASSERT_EQ(Run("unregister").status, 0);
  for (const auto& entry : kEntries) EXPECT_FALSE(fs::exists(Data() / entry.relative)) << entry.relative;
  EXPECT_TRUE(fs::exists(Data() / "applications/other.desktop")) << "nothing else is touched";
  EXPECT_EQ(Run("unregister").status, 0);
}

TEST_F(RegisterCli, PrefixWritesUnderAnotherDataFolder) {
  const fs::path prefix = dir.path() / "staging/share";
  ASSERT_EQ(Run("register --prefix " + ShellQuote(prefix.string()) + " --program /usr/bin/wharfling-desktop")
                .status,
            0);
  for (const auto& entry : kEntries) EXPECT_TRUE(fs::exists(prefix / entry.relative)) << entry.relative;
  EXPECT_FALSE(fs::exists(Data()));
  ASSERT_EQ(Run("unregister --prefix " + ShellQuote(prefix.string())).status, 0);
  for (const auto& entry : kEntries) EXPECT_FALSE(fs::exists(prefix / entry.relative)) << entry.relative;
}

TEST_F(RegisterCli, LeavesToTheSystemWhatItsDataFoldersHold) {
  const std::string args = "--program " + ShellQuote(program());
  ASSERT_EQ(Run("register " + args).status, 0);
  // Then a package installs the applications entry and the icon system-wide (and the Nautilus script
  // is never taken from there: Nautilus reads only the user's folder).
  for (const std::size_t i : {std::size_t{0}, kIcon, std::size_t{2}})
    dir.WriteFile(std::string("system/") + kEntries[i].relative, "installed\n");
  const auto again = Run("register " + args);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("the system has " + (dir.path() / "system" / kEntries[0].relative).string()),
            std::string::npos)
      << again.out;
  for (std::size_t i = 0; i < std::size(kEntries); ++i) {
    const bool system = i == 0 || i == kIcon;
    EXPECT_EQ(fs::exists(Data() / kEntries[i].relative), !system) << kEntries[i].relative;
  }
}

// The formats the file managers read: desktop-file-validate (Debian's desktop-file-utils) accepts the
// Desktop Entry files, the Dolphin menu as far as the format applies to a service menu, and the Nemo
// action has the keys Nemo needs. Skips without the validator unless WHARFLING_REQUIRE_DESKTOP_TOOLS=1.
TEST_F(RegisterCli, EntriesAreInTheFileManagersFormats) {
  ASSERT_EQ(Run("register --program " + ShellQuote(program() + " 100% \"new\"")).status, 0);
  std::map<std::string, std::string> nemo;
  std::istringstream action(Read(Data() / kEntries[3].relative));
  std::string line;
  std::getline(action, line);
  EXPECT_EQ(line, "[Nemo Action]");
  while (std::getline(action, line)) {
    const auto equals = line.find('=');
    ASSERT_NE(equals, std::string::npos) << line;
    nemo[line.substr(0, equals)] = line.substr(equals + 1);
  }
  EXPECT_EQ(nemo["Name"], "upload Parvault");
  EXPECT_EQ(nemo["Selection"], "notnone");
  EXPECT_EQ(nemo["Mimetypes"].rfind("image/jpeg;", 0), 0u) << nemo["Mimetypes"];
  EXPECT_EQ(nemo["Exec"], "\"" + program() + " 100%% \\\\\"new\\\\\"\" %F");

  if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0) {
    const char* required = std::getenv("WHARFLING_REQUIRE_DESKTOP_TOOLS");
    if (required != nullptr && std::string(required) == "1") FAIL() << "desktop-file-validate is missing";
    GTEST_SKIP() << "desktop-file-validate is missing (bash scripts/install-deps.sh installs it)";
  }
  for (const std::size_t i : {0, 1, 4}) {
    const auto result =
        RunCommand("", "desktop-file-validate", ShellQuote((Data() / kEntries[i].relative).string()));
    std::istringstream complaints(result.out + result.err);
    for (std::string complaint; std::getline(complaints, complaint);) {
      // What a service menu is made of (Dolphin's menu is the one Service entry) is no fault.
      if (i == 4 && complaint.find("but the type is \"Service\"") != std::string::npos) continue;
      ADD_FAILURE() << kEntries[i].relative << ": " << complaint;
    }
  }
}

TEST_F(RegisterCli, BadUsage) {
  EXPECT_EQ(Run("register --prefix").status, 64);
  EXPECT_EQ(Run("unregister --program /x").status, 64);
  EXPECT_EQ(Run("register --bogus x").status, 64);
}

}  // namespace
}  // namespace wharfling::testing
