// wharfling: the terminal front end of the photo uploader.

#include <cstdio>
#include <span>
#include <string_view>

#include "apps/wharfling/commands.h"

namespace {

struct Command {
  std::string_view name;
  int (*run)(std::span<char*>);
  std::string_view summary;
};

constexpr Command kCommands[] = {
    {"screen", wharfling::cli::RunScreen, "screen dropped files as the upload dialog does"},
    {"upload", wharfling::cli::RunUpload, "run the upload dialog in the terminal"},
    {"endpoints", wharfling::cli::RunEndpoints, "print the effective endpoint table as JSON"},
    {"exchange", wharfling::cli::RunExchange, "make one page request and print the response as JSON"},
    {"send-upload", wharfling::cli::RunSendUpload,
     "upload one file through a site's sender, print the response"},
    {"register", wharfling::cli::RunRegister, "add \"upload Parvault\" to the file managers' menus"},
    {"unregister", wharfling::cli::RunUnregister, "remove the file managers' \"upload Parvault\" entries"},
};

int Usage() {
  std::fprintf(stderr, "usage: wharfling COMMAND [ARGS...]\n\ncommands:\n");
  for (const auto& command : kCommands) {
    std::fprintf(stderr, "  %-12.*s %.*s\n", static_cast<int>(command.name.size()), command.name.data(),
                 static_cast<int>(command.summary.size()), command.summary.data());
  }
  return wharfling::cli::kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string_view name = argv[1];
  for (const auto& command : kCommands) {
    if (command.name == name)
      return command.run(std::span<char*>(argv + 2, static_cast<std::size_t>(argc - 2)));
  }
  return Usage();
}
