#include "platform/posix/config_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace wharfling::posix {
namespace {

constexpr const char* kMakerFolder = "Ferrowind";

std::string Variable(const EnvironmentLookup& environment, const char* name) {
  return environment(name).value_or(std::string());
}

std::filesystem::path HomeFolder(const EnvironmentLookup& environment) {
  if (const auto home = Variable(environment, "HOME"); !home.empty()) return std::filesystem::path(home);
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return std::filesystem::path(entry->pw_dir);
  }
  return {};
}

}  // namespace

std::filesystem::path ConfigDirectory(const EnvironmentLookup& environment) {
  if (const auto own = Variable(environment, "WHARFLING_CONFIG_DIR"); !own.empty()) {
    return std::filesystem::path(own);
  }
  if (const std::filesystem::path xdg(Variable(environment, "XDG_CONFIG_HOME")); xdg.is_absolute()) {
    return xdg / kMakerFolder;
  }
  const auto home = HomeFolder(environment);
  if (home.empty()) return {};
  return home / ".config" / kMakerFolder;
}

std::filesystem::path ConfigDirectory() { return ConfigDirectory(ProcessEnvironment); }

std::string ProgramName(const char* argv0) {
  if (argv0 == nullptr) return kProfileName;
  std::string name = std::filesystem::path(argv0).stem().string();
  if (name.empty() || name == "." || name == "..") return kProfileName;
  return name;
}

std::filesystem::path ProfileSettingsPath(const std::filesystem::path& directory,
                                          const std::string& profile) {
  return directory / (profile + ".ini");
}

}  // namespace wharfling::posix
