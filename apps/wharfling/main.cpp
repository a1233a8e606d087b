// wharfling: the terminal front end of the photo uploader.

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "apps/wharfling/commands.h"

namespace {

using wharfling::cli::Command;

constexpr const Command* kCommands[] = {
    &wharfling::cli::kScreenCommand,   &wharfling::cli::kUploadCommand,
    &wharfling::cli::kConfigCommand,   &wharfling::cli::kEndpointsCommand,
    &wharfling::cli::kExchangeCommand, &wharfling::cli::kSendUploadCommand,
    &wharfling::cli::kRegisterCommand, &wharfling::cli::kUnregisterCommand,
};

const Command* FindCommand(std::string_view name) {
  for (const Command* command : kCommands) {
    if (command->name == name) return command;
  }
  return nullptr;
}

void PrintProgramHelp(std::FILE* out) {
  std::fprintf(out,
               "usage: wharfling COMMAND [OPTIONS] [ARGS...]\n"
               "       wharfling help [COMMAND]\n"
               "       wharfling --version\n\n"
               "Uploads photos to one of fourteen destinations: the upload dialog in the terminal, its\n"
               "settings, and the diagnostics of its web exchanges.\n\n"
               "commands:\n");
  for (const Command* command : kCommands) {
    std::fprintf(out, "  %-12.*s %.*s\n", static_cast<int>(command->name.size()), command->name.data(),
                 static_cast<int>(command->summary.size()), command->summary.data());
  }
  std::fprintf(out, "  %-12s %s\n\nRun 'wharfling COMMAND --help' for a command's options.\n", "help",
               "show this help, or a command's");
}

int ProgramUsageError(const std::string& message) {
  std::fprintf(stderr, "wharfling: %s\nTry 'wharfling --help'.\n", message.c_str());
  return wharfling::cli::kUsageError;
}

// wharfling help [COMMAND]
int Help(std::span<char* const> args) {
  const auto isHelpOption = [](std::string_view word) { return word == "--help" || word == "-h"; };
  if (args.empty() || (args.size() == 1 && isHelpOption(args[0]))) {
    PrintProgramHelp(stdout);
    return 0;
  }
  if (args.size() > 1) return ProgramUsageError(std::string("unexpected argument ") + args[1]);
  const Command* command = FindCommand(args[0]);
  if (command == nullptr) return ProgramUsageError(std::string("unknown command ") + args[0]);
  wharfling::cli::PrintHelp(stdout, *command);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::span<char* const> args(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
  if (args.empty()) return ProgramUsageError("missing COMMAND");
  const std::string_view name = args[0];
  if (name == "--version") {
    std::printf("wharfling %s\n", WHARFLING_VERSION);
    return 0;
  }
  if (name == "--help" || name == "-h") return Help({});
  if (name == "help") return Help(args.subspan(1));
  const Command* command = FindCommand(name);
  if (command == nullptr) {
    return ProgramUsageError((name.starts_with('-') ? "unknown option " : "unknown command ") +
                             std::string(name));
  }
  std::string error;
  const auto parsed = wharfling::cli::ParseArgs(*command, args.subspan(1), error);
  if (!parsed) return wharfling::cli::UsageError(*command, error);
  if (parsed->help) {
    wharfling::cli::PrintHelp(stdout, *command);
    return 0;
  }
  return command->run(*parsed);
}
