// wharfling register and unregister in a temporary home: the five file-manager entries, their
// modes, the same result twice, removal that tolerates what is already gone, and --prefix.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

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
};

class RegisterCli : public ::testing::Test {
 protected:
  CommandResult Run(const std::string& arguments) {
    return RunCommand("env -u XDG_DATA_HOME HOME=" + ShellQuote(dir.path().string()), WHARFLING_CLI,
                      arguments);
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
    EXPECT_NE(first.back().find(program()), std::string::npos) << entry.relative;
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

TEST_F(RegisterCli, BadUsage) {
  EXPECT_EQ(Run("register --prefix").status, 64);
  EXPECT_EQ(Run("unregister --program /x").status, 64);
  EXPECT_EQ(Run("register --bogus x").status, 64);
}

}  // namespace
}  // namespace wharfling::testing
