// wharfling register|unregister [--prefix DIR] [--program PATH]
// Adds or removes the file managers' "upload Parvault" entries for the current user.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "apps/wharfling/commands.h"
#include "platform/posix/desktop_entries.h"

namespace wharfling::cli {
namespace {

namespace fs = std::filesystem;

struct RegisterArgs {
  std::optional<fs::path> prefix;
  std::optional<fs::path> program;
};

int RegisterUsage(const char* command) {
  std::fprintf(stderr,
               "usage: wharfling %s [--prefix DIR] [--program PATH]\n"
               "  --prefix DIR    the data folder to use instead of $XDG_DATA_HOME or ~/.local/share\n"
               "  --program PATH  the desktop program the entries start (default: wharfling-desktop\n"
               "                  beside this program)\n",
               command);
  return kUsageError;
}

std::optional<RegisterArgs> Parse(std::span<char*> args) {
  RegisterArgs parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view word = args[i];
    if (i + 1 >= args.size()) return std::nullopt;
    if (word == "--prefix") {
      parsed.prefix = fs::absolute(args[++i]);
    } else if (word == "--program") {
      parsed.program = fs::absolute(args[++i]);
    } else {
      return std::nullopt;
    }
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

}  // namespace

int RunRegister(std::span<char*> args) {
  const auto parsed = Parse(args);
  if (!parsed) return RegisterUsage("register");
  const fs::path data = DataFolder(*parsed);
  if (data.empty()) {
    std::fprintf(stderr, "wharfling register: no home folder; give --prefix DIR\n");
    return kUsageError;
  }
  const fs::path program = parsed->program.value_or(DefaultProgram());
  if (!parsed->program && !fs::exists(program)) {
    std::fprintf(stderr, "wharfling register: no desktop program at %s (build it, or give --program PATH)\n",
                 program.c_str());
    return 1;
  }
  std::string reason;
  if (!posix::WriteDesktopEntries(data, program.string(), reason)) {
    std::fprintf(stderr, "wharfling register: %s\n", reason.c_str());
    return 1;
  }
  std::printf("registered \"upload Parvault\" for Thunar, Nautilus, Nemo and Dolphin under %s\nstarting %s\n",
              data.c_str(), program.c_str());
  return 0;
}

int RunUnregister(std::span<char*> args) {
  const auto parsed = Parse(args);
  if (!parsed || parsed->program) return RegisterUsage("unregister");
  const fs::path data = DataFolder(*parsed);
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

}  // namespace wharfling::cli
