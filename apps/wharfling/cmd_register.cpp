// wharfling register|unregister [--prefix DIR] [--program PATH]
// Adds or removes the file managers' "upload Parvault" entries for the current user. An entry that
// the system's data folders already hold (an installed package's) is left to them, so that no menu
// shows the item twice; with --prefix (a packager's staging folder) every entry is written.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "apps/wharfling/command_line.h"
#include "apps/wharfling/commands.h"
#include "platform/posix/desktop_entries.h"

namespace wharfling::cli {
namespace {

namespace fs = std::filesystem;

constexpr Option kRegisterOptions[] = {
    {"--prefix", "DIR",
     "write every entry under DIR (a packager's folder), whatever the system's folders hold"},
    {"--program", "PATH",
     "the desktop program the entries start (default: wharfling-desktop beside this program)"},
};
constexpr Option kUnregisterOptions[] = {kRegisterOptions[0]};

struct RegisterArgs {
  std::optional<fs::path> prefix;
  std::optional<fs::path> program;
};

RegisterArgs Parse(const ParsedArgs& args) {
  RegisterArgs parsed;
  if (const auto found = args.values.find("--prefix"); found != args.values.end()) {
    parsed.prefix = fs::absolute(found->second);
  }
  if (const auto found = args.values.find("--program"); found != args.values.end()) {
    parsed.program = fs::absolute(found->second);
  }
  return parsed;
}

fs::path DataFolder(const RegisterArgs& args) {
  return args.prefix ? *args.prefix : posix::DataHome(posix::ProcessEnvironment);
}

fs::path DefaultProgram() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return (error ? fs::current_path() : self.parent_path()) / "wharfling-desktop";
}

int RunRegister(const ParsedArgs& args) {
  const auto parsed = Parse(args);
  const fs::path data = DataFolder(parsed);
  if (data.empty()) {
    std::fprintf(stderr, "wharfling register: no home folder; give --prefix DIR\n");
    return kUsageError;
  }
  const fs::path program = parsed.program.value_or(DefaultProgram());
  if (!parsed.program && !fs::exists(program)) {
    std::fprintf(stderr, "wharfling register: no desktop program at %s (build it, or give --program PATH)\n",
                 program.c_str());
    return 1;
  }
  const auto systemDirs =
      parsed.prefix ? std::vector<fs::path>{} : posix::SystemDataDirs(posix::ProcessEnvironment);
  posix::RegisterOutcome outcome;
  std::string reason;
  if (!posix::WriteDesktopEntries(data, program.string(), systemDirs, outcome, reason)) {
    std::fprintf(stderr, "wharfling register: %s\n", reason.c_str());
    return 1;
  }
  std::printf("registered \"upload Parvault\" for Thunar, Nautilus, Nemo and Dolphin under %s\n",
              data.c_str());
  for (const auto& path : outcome.written) std::printf("  wrote %s\n", path.c_str());
  for (const auto& path : outcome.providedBySystem) std::printf("  the system has %s\n", path.c_str());
  if (!outcome.written.empty()) std::printf("starting %s\n", program.c_str());
  return 0;
}

int RunUnregister(const ParsedArgs& args) {
  const auto parsed = Parse(args);
  const fs::path data = DataFolder(parsed);
  if (data.empty()) {
    std::fprintf(stderr, "wharfling unregister: no home folder; give --prefix DIR\n");
    return kUsageError;
  }
  std::string reason;
  if (!posix::RemoveDesktopEntries(data, reason)) {
    std::fprintf(stderr, "wharfling unregister: %s\n", reason.c_str());
    return 1;
  }
  std::printf("removed the \"upload Parvault\" entries under %s\n", data.c_str());
  return 0;
}

}  // namespace

const Command kRegisterCommand{
    "register",       "", "add \"upload Parvault\" to the file managers' menus for this user",
    kRegisterOptions, "", RunRegister};
const Command kUnregisterCommand{
    "unregister",       "", "remove the file managers' \"upload Parvault\" entries",
    kUnregisterOptions, "", RunUnregister};

}  // namespace wharfling::cli
