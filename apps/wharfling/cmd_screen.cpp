// wharfling screen [--json] PATH...: the dialog's start-up as far as the screening.

#include <cstdio>
#include <iostream>

#include "apps/wharfling/commands.h"
#include "apps/wharfling/dialog_report.h"
#include "apps/wharfling/front_end.h"
#include "apps/wharfling/json_output.h"

namespace wharfling::cli {
namespace {

constexpr Option kOptions[] = {
    {"--json", "", "print the dialog's state as JSON (docs/cli-json.md)"},
};

int Run(const ParsedArgs& args) {
  const bool json = args.Has("--json");
  auto frontEnd = MakeFrontEnd();
  std::cerr << frontEnd->endpointProblems;
  TerminalOptions options;
  options.out = json ? nullptr : stderr;
  TerminalView view(options);
  UploadDialog dialog(
      args.operands, view,
      DialogServices{*frontEnd->settings, frontEnd->endpoints, frontEnd->codec, *frontEnd->web});
  dialog.Initialize(/*allowSiteChooser=*/false);

  const auto report = DialogReport(dialog, view, view.messages());
  if (json) {
    PrintJson(report);
  } else {
    PrintReport(stdout, report);
  }
  return 0;
}

}  // namespace

const Command kScreenCommand{
    "screen",
    "PATH...",
    "screen files as the upload dialog's start-up does, without uploading",
    kOptions,
    "Lists the accepted files with their sizes, the skipped ones with their reasons, the title\n"
    "and the destination button's state for the destination the profile selects. The site chooser\n"
    "is not offered. Exit status: 0, or 64 for bad usage.",
    Run};

}  // namespace wharfling::cli
