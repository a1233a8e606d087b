#include "platform/posix/html_handler.h"

#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/posix/atomic_file.h"
#include "platform/posix/ini_file.h"

namespace wharfling::posix {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFieldCodes[] = {"%u", "%U", "%f", "%F"};

std::vector<fs::path> SearchPath(const EnvironmentLookup& environment, const char* variable,
                                 const char* fallback) {
  const auto value = environment(variable);
  std::stringstream list(value && !value->empty() ? *value : fallback);
  std::vector<fs::path> folders;
  for (std::string folder; std::getline(list, folder, ':');) {
    if (!folder.empty()) folders.emplace_back(folder);
  }
  return folders;
}

fs::path UserFolder(const EnvironmentLookup& environment, const char* variable, const char* belowHome) {
  if (const auto value = environment(variable); value && !value->empty()) return *value;
  const auto home = environment("HOME");
  return home ? fs::path(*home) / belowHome : fs::path();
}

std::optional<IniDocument> ReadIni(const fs::path& path) {
  const FileContents contents = ReadWholeFile(path);
  if (contents.outcome != FileContents::Outcome::kRead) return std::nullopt;
  return IniDocument::Parse(contents.bytes);
}

// The desktop entry names listed for text/html, in the order the XDG mime-apps rules read the lists.
std::vector<std::string> HtmlHandlerNames(const EnvironmentLookup& environment) {
  std::vector<fs::path> lists{UserFolder(environment, "XDG_CONFIG_HOME", ".config") / "mimeapps.list"};
  for (const auto& folder : SearchPath(environment, "XDG_CONFIG_DIRS", "/etc/xdg")) {
    lists.push_back(folder / "mimeapps.list");
  }
  lists.push_back(UserFolder(environment, "XDG_DATA_HOME", ".local/share") / "applications/mimeapps.list");
  for (const auto& folder : SearchPath(environment, "XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
    lists.push_back(folder / "applications/mimeapps.list");
  }
  std::vector<std::string> names;
  for (const auto& list : lists) {
    const auto document = ReadIni(list);
    if (!document) continue;
    std::stringstream value(document->GetEscaped("Default Applications", "text/html").value_or(""));
    for (std::string name; std::getline(value, name, ';');) {
      if (!name.empty()) names.push_back(name);
    }
  }
  return names;
}

std::optional<std::string> ExecOf(const std::string& entryName, const EnvironmentLookup& environment) {
  std::vector<fs::path> folders{UserFolder(environment, "XDG_DATA_HOME", ".local/share")};
  for (const auto& folder : SearchPath(environment, "XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
    folders.push_back(folder);
  }
  for (const auto& folder : folders) {
    const auto entry = ReadIni(folder / "applications" / entryName);
    if (!entry) continue;
    if (auto exec = entry->GetEscaped("Desktop Entry", "Exec"); exec && !exec->empty()) return exec;
  }
  return std::nullopt;
}

}  // namespace

std::string ComposeHandlerCommand(std::string_view exec, std::string_view address) {
  std::size_t cut = std::string_view::npos;
  for (const auto code : kFieldCodes) {
    cut = std::min(cut, exec.find("\"" + std::string(code) + "\""));
  }
  if (cut == std::string_view::npos) {
    for (const auto code : kFieldCodes) cut = std::min(cut, exec.find(code));
  }
  std::string command(exec.substr(0, cut));
  command += ' ';
  command += address;
  return command;
}

std::optional<std::string> HtmlHandlerCommand(std::string_view address,
                                              const EnvironmentLookup& environment) {
  for (const auto& name : HtmlHandlerNames(environment)) {
    if (const auto exec = ExecOf(name, environment)) return ComposeHandlerCommand(*exec, address);
  }
  return std::nullopt;
}

}  // namespace wharfling::posix
