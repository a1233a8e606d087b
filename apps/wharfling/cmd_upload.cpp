// wharfling upload [--id ID] [--password-stdin] [--json] [--site-entry K] [--album TEXT] PATH...
// Runs the upload dialog in the terminal: start-up, the typed account, then the destination button.

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "apps/wharfling/commands.h"
#include "apps/wharfling/dialog_report.h"
#include "apps/wharfling/front_end.h"
#include "ui/controls.h"
#include "wharfling/texts.h"

namespace wharfling::cli {
namespace {

constexpr int kAllSucceeded = 0;
constexpr int kSomeFailed = 1;
constexpr int kNotRun = 2;

int UploadUsage() {
  std::fprintf(
      stderr,
      "usage: wharfling upload [--id ID] [--password-stdin] [--json] [--site-entry K] [--album TEXT] "
      "PATH...\n"
      "  --id ID            the account ID, as if typed into the dialog\n"
      "  --password-stdin   read the password from the first line of standard input\n"
      "  --json             print the final state as JSON\n"
      "  --site-entry K     answer the site chooser with entry K (0 = Parvault, 1 = Zorg, ...)\n"
      "  --album TEXT       answer the album chooser with the album named TEXT\n");
  return kUsageError;
}

struct UploadArgs {
  std::optional<std::string> id;
  bool passwordFromStdin = false;
  bool json = false;
  TerminalOptions terminal;
  std::vector<std::string> paths;
};

std::optional<UploadArgs> Parse(std::span<char*> args) {
  UploadArgs parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view word = args[i];
    const bool hasValue = i + 1 < args.size();
    if (word == "--id" && hasValue) {
      parsed.id = args[++i];
    } else if (word == "--password-stdin") {
      parsed.passwordFromStdin = true;
    } else if (word == "--json") {
      parsed.json = true;
    } else if (word == "--site-entry" && hasValue) {
      try {
        parsed.terminal.siteEntry = std::stoi(args[++i]);
      } catch (const std::exception&) {
        return std::nullopt;
      }
    } else if (word == "--album" && hasValue) {
      parsed.terminal.albumUtf8 = args[++i];
    } else if (word == "--") {
      for (++i; i < args.size(); ++i) parsed.paths.emplace_back(args[i]);
    } else if (word.starts_with("--")) {
      return std::nullopt;
    } else {
      parsed.paths.emplace_back(word);
    }
  }
  if (parsed.paths.empty()) return std::nullopt;
  return parsed;
}

std::optional<std::string> ReadPasswordLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// A typed edit: the control gets the text and the dialog hears of it.
void Type(UploadDialog& dialog, TerminalView& view, int control, const std::string& utf8) {
  view.SetControlText(control, posix::Utf8ToCp932(utf8));
  dialog.OnAccountEdited();
}

bool AllRowsSucceeded(const UploadDialog& dialog) {
  for (const auto& row : dialog.fileList().rows()) {
    if (row.cells[2] != texts::kStatusSuccess) return false;
  }
  return true;
}

}  // namespace

int RunUpload(std::span<char*> args) {
  auto parsed = Parse(args);
  if (!parsed) return UploadUsage();
  std::optional<std::string> password;
  if (parsed->passwordFromStdin) {
    password = ReadPasswordLine();
    if (!password) {
      std::fprintf(stderr, "wharfling upload: no password on standard input\n");
      return kUsageError;
    }
  }
  parsed->terminal.interactive = !parsed->passwordFromStdin && isatty(STDIN_FILENO) && isatty(STDERR_FILENO);

  auto frontEnd = MakeFrontEnd();
  TerminalView view(parsed->terminal);
  UploadDialog dialog(parsed->paths, view,
                      DialogServices{*frontEnd->store, frontEnd->endpoints, frontEnd->codec, *frontEnd->web});
  dialog.Initialize();
  if (parsed->id) Type(dialog, view, control::kId, *parsed->id);
  if (password) Type(dialog, view, control::kPassword, *password);
  const std::vector<Text> startupMessages = view.messages();

  int status = kNotRun;
  if (dialog.CanStartUpload()) {
    view.StartReportingProgress();
    dialog.StartUpload();
    if (dialog.lastRunSignedIn()) status = AllRowsSucceeded(dialog) ? kAllSucceeded : kSomeFailed;
  } else if (!dialog.blocked()) {
    std::fprintf(stderr,
                 "wharfling upload: no account for this destination (give --id and --password-stdin)\n");
  }

  auto report = DialogReport(dialog, view, startupMessages);
  report["progress"] = view.progressPosition();
  nlohmann::json runMessages = nlohmann::json::array();
  for (std::size_t i = startupMessages.size(); i < view.messages().size(); ++i) {
    runMessages.push_back(posix::Cp932ToUtf8(view.messages()[i]));
  }
  report["run_messages"] = runMessages;
  if (parsed->json) {
    std::printf("%s\n", report.dump(2).c_str());
  } else {
    PrintReport(stdout, report);
  }
  return status;
}

}  // namespace wharfling::cli
