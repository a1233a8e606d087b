#include "platform/posix/desktop_entries.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/posix/atomic_file.h"
#include "wharfling/app_icon.h"

namespace wharfling::posix {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kName = "upload Parvault";
constexpr std::string_view kComment = "Upload the selected photos with Wharfling";
constexpr std::string_view kPhotoTypes =
    "image/jpeg;image/png;image/gif;image/bmp;image/tiff;image/webp;image/heic;image/heif;";
constexpr std::string_view kEntryFile = "wharfling-upload-parvault.desktop";
constexpr std::string_view kIconName = "wharfling";

std::string ShellQuote(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ApplicationEntry(const std::string& exec) {
  return "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" + std::string(kName) +
         "\nComment=" + std::string(kComment) + "\nExec=" + exec + " %F\nIcon=" + std::string(kIconName) +
         "\nTerminal=false\nNoDisplay=true\nMimeType=" + std::string(kPhotoTypes) + "\n";
}

std::string NautilusScript(const std::string& programPath) {
  // Nautilus lists the selected local paths one a line; a remote folder only gives names as
  // arguments.
  return "#!/bin/sh\n# " + std::string(kName) + ": sends the files selected in Nautilus to Wharfling.\n" +
         "set -f\nIFS='\n'\nif [ -n \"${NAUTILUS_SCRIPT_SELECTED_FILE_PATHS:-}\" ]; then\n"
         "  exec " +
         ShellQuote(programPath) +
         " -- $NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\nfi\n"
         "exec " +
         ShellQuote(programPath) + " -- \"$@\"\n";
}

std::string NemoAction(const std::string& exec) {
  return "[Nemo Action]\nName=" + std::string(kName) + "\nComment=" + std::string(kComment) +
         "\nExec=" + exec + " %F\nIcon-Name=" + std::string(kIconName) +
         "\nSelection=notnone\nMimetypes=" + std::string(kPhotoTypes) + "\nQuote=double\n";
}

// KDE's service menu format: a Service entry whose MimeType and Actions keys the Desktop Entry
// format allows only in applications (desktop-file-validate says so, and nothing else).
std::string DolphinServiceMenu(const std::string& exec) {
  return "[Desktop Entry]\nType=Service\nName=" + std::string(kName) +
         "\nMimeType=" + std::string(kPhotoTypes) +
         "\nActions=uploadParvault\nX-KDE-Priority=TopLevel\n\n[Desktop Action uploadParvault]\nName=" +
         std::string(kName) + "\nIcon=" + std::string(kIconName) + "\nExec=" + exec + " %F\n";
}

bool SetMode(const fs::path& path, mode_t mode, std::string& reason) {
  if (::chmod(path.c_str(), mode) == 0) return true;
  reason = path.string() + ": " + std::strerror(errno);
  return false;
}

}  // namespace

std::string DesktopExecArgument(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  quoted += '"';
  std::string value;
  for (const char c : quoted) {
    value += c;
    if (c == '\\') value += '\\';
  }
  return value;
}

std::vector<DesktopEntryFile> DesktopEntryFiles(const std::string& programPath) {
  const std::string exec = DesktopExecArgument(programPath);
  return {
      {fs::path("applications") / kEntryFile, ApplicationEntry(exec), false},
      {fs::path("Thunar/sendto") / kEntryFile, ApplicationEntry(exec), false},
      {fs::path("nautilus/scripts") / kName, NautilusScript(programPath), true, false},
      {"nemo/actions/wharfling-upload-parvault.nemo_action", NemoAction(exec), false},
      // Current KDE runs a service menu only when its file is executable.
      {fs::path("kio/servicemenus") / kEntryFile, DolphinServiceMenu(exec), true},
      {fs::path("icons/hicolor/scalable/apps") / (std::string(kIconName) + ".svg"), std::string(kAppIconSvg)},
  };
}

fs::path DataHome(const EnvironmentLookup& environment) {
  if (const auto value = environment("XDG_DATA_HOME"); value && fs::path(*value).is_absolute()) return *value;
  const auto home = environment("HOME");
  return home && !home->empty() ? fs::path(*home) / ".local/share" : fs::path();
}

std::vector<fs::path> SystemDataDirs(const EnvironmentLookup& environment) {
  std::vector<fs::path> dirs;
  const std::string list = environment("XDG_DATA_DIRS").value_or("");
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t end = std::min(list.find(':', start), list.size());
    const fs::path dir(list.substr(start, end - start));
    if (dir.is_absolute()) dirs.push_back(dir);
    start = end + 1;
  }
  if (dirs.empty()) dirs = {"/usr/local/share", "/usr/share"};
  return dirs;
}

bool WriteDesktopEntries(const fs::path& dataHome, const std::string& programPath,
                         const std::vector<fs::path>& systemDirs, RegisterOutcome& outcome,
                         std::string& reason) {
  for (const auto& file : DesktopEntryFiles(programPath)) {
    const fs::path path = dataHome / file.relative;
    const auto system = std::find_if(systemDirs.begin(), systemDirs.end(), [&](const fs::path& dir) {
      std::error_code error;
      return file.systemWide && dir != dataHome && fs::exists(dir / file.relative, error);
    });
    if (system != systemDirs.end()) {
      std::error_code error;
      fs::remove(path, error);
      if (error) {
        reason = path.string() + ": " + error.message();
        return false;
      }
      outcome.providedBySystem.push_back(*system / file.relative);
      continue;
    }
    if (!ReplaceFileAtomically(path, file.contents, reason)) return false;
    if (!SetMode(path, file.executable ? 0755 : 0644, reason)) return false;
    outcome.written.push_back(path);
  }
  return true;
}

bool RemoveDesktopEntries(const fs::path& dataHome, std::string& reason) {
  for (const auto& file : DesktopEntryFiles("")) {
    const fs::path path = dataHome / file.relative;
    std::error_code error;
    fs::remove(path, error);
    if (error && error != std::errc::no_such_file_or_directory) {
      reason = path.string() + ": " + error.message();
      return false;
    }
  }
  return true;
}

}  // namespace wharfling::posix
