#pragma once
// The file-manager entries that send selected files to the desktop program, for one user: an
// application entry for the common photo types, a Thunar Send To entry, a Nautilus script, a Nemo
// action and a Dolphin service menu, each named "upload Parvault". They all live below one data
// folder ($XDG_DATA_HOME, else ~/.local/share) and nothing else is touched.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/environment.h"

namespace wharfling::posix {

struct DesktopEntryFile {
  std::filesystem::path relative;  // below the data folder
  std::string contents;
  bool executable = false;
};

// The entries that start the program at programPath (an absolute path).
std::vector<DesktopEntryFile> DesktopEntryFiles(const std::string& programPath);

// $XDG_DATA_HOME when it is an absolute path, else <home>/.local/share; empty without a home.
std::filesystem::path DataHome(const EnvironmentLookup& environment);

// Writes every entry (replacing what is there) or removes every one (a missing one is fine).
// False on the first failure, with the reason.
bool WriteDesktopEntries(const std::filesystem::path& dataHome, const std::string& programPath,
                         std::string& reason);
bool RemoveDesktopEntries(const std::filesystem::path& dataHome, std::string& reason);

// text as one argument of a desktop entry's Exec key: double-quoted with `"`, `` ` ``, `$` and `\`
// escaped, '%' doubled, then backslashes doubled again for the string value the key is.
std::string DesktopExecArgument(std::string_view text);

}  // namespace wharfling::posix
