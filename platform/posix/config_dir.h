#pragma once
// Where the profile lives on POSIX systems, and its name.

#include <filesystem>
#include <functional>
#include <string>

#include "platform/posix/environment.h"

namespace wharfling::posix {

// $WHARFLING_CONFIG_DIR when set and not empty, else $XDG_CONFIG_HOME/Ferrowind when that is an
// absolute path (the XDG rules ignore a relative one), else <home>/.config/Ferrowind with <home> from
// $HOME or, without it, the user database. Empty only when no home folder can be found at all.
std::filesystem::path ConfigDirectory();
std::filesystem::path ConfigDirectory(const EnvironmentLookup& environment);

// The one profile of both programs, whatever their file names: <folder>/wharfling.ini.
inline constexpr const char* kProfileName = "wharfling";
// The profile the desktop program kept before it shared the terminal program's; merged once.
inline constexpr const char* kFormerDesktopProfileName = "wharfling-desktop";

// The program's file name without its extension ("/usr/bin/wharfling" -> "wharfling"), which
// captions its messages; "wharfling" when argv0 is missing or names no file.
std::string ProgramName(const char* argv0);

// <directory>/<profile>.ini
std::filesystem::path ProfileSettingsPath(const std::filesystem::path& directory, const std::string& profile);

}  // namespace wharfling::posix
