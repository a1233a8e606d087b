#pragma once
// The file-manager entries that send selected files to the desktop program, for one user: an
// application entry for the common photo types, a Thunar Send To entry, a Nautilus script, a Nemo
// action and a Dolphin service menu, each named "upload Parvault", and the application icon they
// show. They all live below one data folder ($XDG_DATA_HOME, else ~/.local/share) and nothing else
// is touched. A package installs the same files (but the Nautilus script, for which Nautilus has no
// system-wide folder) below /usr/share; a user's registration then leaves those to the system.

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
  bool systemWide = true;  // has a place below the system's data folders too
};

// What a registration did: the files it wrote and those it left to the system's data folders.
struct RegisterOutcome {
  std::vector<std::filesystem::path> written;
  std::vector<std::filesystem::path> providedBySystem;  // the system's copies
};

// The entries that start the program at programPath (an absolute path).
std::vector<DesktopEntryFile> DesktopEntryFiles(const std::string& programPath);

// $XDG_DATA_HOME when it is an absolute path, else <home>/.local/share; empty without a home.
std::filesystem::path DataHome(const EnvironmentLookup& environment);

// The system's data folders: the absolute entries of $XDG_DATA_DIRS, else /usr/local/share and
// /usr/share.
std::vector<std::filesystem::path> SystemDataDirs(const EnvironmentLookup& environment);

// Writes every entry (replacing what is there) that none of systemDirs holds; for one they hold, a
// copy of an earlier registration is removed instead, so that no menu shows the item twice.
// Removes every entry (a missing one is fine). False on the first failure, with the reason.
bool WriteDesktopEntries(const std::filesystem::path& dataHome, const std::string& programPath,
                         const std::vector<std::filesystem::path>& systemDirs, RegisterOutcome& outcome,
                         std::string& reason);
bool RemoveDesktopEntries(const std::filesystem::path& dataHome, std::string& reason);

// text as one argument of a desktop entry's Exec key: double-quoted with `"`, `` ` ``, `$` and `\`
// escaped, '%' doubled, then backslashes doubled again for the string value the key is.
std::string DesktopExecArgument(std::string_view text);

}  // namespace wharfling::posix
