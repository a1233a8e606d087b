// wharfling screen [--json] PATH...: the dialog's start-up as far as the screening.

#include <cstdio>
#include <string>
#include <vector>

#include "apps/wharfling/commands.h"
#include "apps/wharfling/dialog_report.h"
#include "apps/wharfling/front_end.h"

namespace wharfling::cli {

int RunScreen(std::span<char*> args) {
  bool json = false;
  std::vector<std::string> paths;
  for (const char* arg : args) {
    const std::string_view word = arg;
    if (word == "--json") {
      json = true;
    } else if (word.starts_with("--")) {
      std::fprintf(stderr, "usage: wharfling screen [--json] PATH...\n");
      return kUsageError;
    } else {
      paths.emplace_back(word);
    }
  }

  auto frontEnd = MakeFrontEnd();
  TerminalOptions options;
  options.out = json ? nullptr : stderr;
  TerminalView view(options);
  UploadDialog dialog(paths, view,
                      DialogServices{*frontEnd->store, frontEnd->endpoints, frontEnd->codec, *frontEnd->web});
  dialog.Initialize(/*allowSiteChooser=*/false);

  const auto report = DialogReport(dialog, view, view.messages());
  if (json) {
    std::printf("%s\n", report.dump(2).c_str());
  } else {
    PrintReport(stdout, report);
  }
  return 0;
}

}  // namespace wharfling::cli
