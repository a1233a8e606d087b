#include "platform/posix/desktop_entries.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/posix/atomic_file.h"

namespace wharfling::posix {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kName = "upload Parvault";
constexpr std::string_view kComment = "Upload the selected photos with Wharfling";
constexpr std::string_view kPhotoTypes =
    "image/jpeg;image/png;image/gif;image/bmp;image/tiff;image/webp;image/heic;image/heif;";
constexpr std::string_view kEntryFile = "wharfling-upload-parvault.desktop";

std::string ShellQuote(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ApplicationEntry(const std::string& exec) {
  return "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" + std::string(kName) +
         "\nComment=" + std::string(kComment) + "\nExec=" + exec +
         " %F\nIcon=image-x-generic\nTerminal=false\nNoDisplay=true\nMimeType=" + std::string(kPhotoTypes) +
         "\n";
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
         "\nExec=" + exec +
         " %F\nIcon-Name=image-x-generic\nSelection=notnone\nExtensions=any;\nQuote=double\n";
}

std::string DolphinServiceMenu(const std::string& exec) {
  return "[Desktop Entry]\nType=Service\nMimeType=" + std::string(kPhotoTypes) +
         "\nActions=uploadParvault\nX-KDE-Priority=TopLevel\n\n[Desktop Action uploadParvault]\nName=" +
         std::string(kName) + "\nIcon=image-x-generic\nExec=" + exec + " %F\n";
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
      {fs::path("nautilus/scripts") / kName, NautilusScript(programPath), true},
      {"nemo/actions/wharfling-upload-parvault.nemo_action", NemoAction(exec), false},
      // Current KDE runs a service menu only when its file is executable.
      {fs::path("kio/servicemenus") / kEntryFile, DolphinServiceMenu(exec), true},
  };
}

fs::path DataHome(const EnvironmentLookup& environment) {
  if (const auto value = environment("XDG_DATA_HOME"); value && fs::path(*value).is_absolute()) return *value;
  const auto home = environment("HOME");
  return home && !home->empty() ? fs::path(*home) / ".local/share" : fs::path();
}

bool WriteDesktopEntries(const fs::path& dataHome, const std::string& programPath, std::string& reason) {
  for (const auto& file : DesktopEntryFiles(programPath)) {
    const fs::path path = dataHome / file.relative;
    if (!ReplaceFileAtomically(path, file.contents, reason)) return false;
    if (!SetMode(path, file.executable ? 0755 : 0644, reason)) return false;
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
