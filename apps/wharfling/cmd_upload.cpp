// wharfling upload [OPTIONS] PATH...: the upload dialog in the terminal: start-up with the account
// of the command line or the profile, then the destination button.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "apps/wharfling/command_line_settings.h"
#include "apps/wharfling/commands.h"
#include "apps/wharfling/destination.h"
#include "apps/wharfling/dialog_report.h"
#include "apps/wharfling/front_end.h"
#include "apps/wharfling/interrupt_cancel.h"
#include "apps/wharfling/json_output.h"
#include "apps/wharfling/password_input.h"
#include "session/site_catalogue.h"
#include "sites/status_texts.h"
#include "wharfling/texts.h"

namespace wharfling::cli {
namespace {

constexpr int kAllSucceeded = 0;
constexpr int kSomeFailed = 1;
constexpr int kNotRun = 2;

constexpr Option kOptions[] = {
    {"--id", "ID", "the account ID, instead of the saved one"},
    {"--password-stdin", "", "read the password from the first line of standard input"},
    {"--destination", "N", "upload to destination N (1 to 14), as if the profile selected it"},
    {"--site-entry", "K", "answer the site chooser with entry K (0 = Parvault, 1 = Zorg, ...)"},
    {"--album", "TEXT", "answer the album chooser with the album named TEXT"},
    {"--json", "", "print the final state as JSON (docs/cli-json.md)"},
    {"--progress", "", "print a line per file on stderr even when it is not a terminal"},
    {"--fit", "", "shrink JPEGs over the size limit to fit (as [Mode] fit=1)"},
    {"--strip-location", "", "send photos without their GPS data (as [Mode] nolocation=1)"},
};

struct UploadArgs {
  std::optional<std::int32_t> destination;
  std::optional<std::string> id;
  std::optional<std::string> password;
  TerminalOptions terminal;
};

// The options checked and the password read; on bad usage the exit status instead.
std::variant<UploadArgs, int> Check(const ParsedArgs& args) {
  UploadArgs upload;
  if (const auto text = args.Value("--destination")) {
    upload.destination = ParseNumber(*text, 1, kSiteCount);
    if (!upload.destination) return UsageError(kUploadCommand, "--destination needs a number from 1 to 14");
  }
  if (upload.destination && args.Has("--site-entry")) {
    return UsageError(kUploadCommand, "--destination and --site-entry do not go together");
  }
  if (const auto text = args.Value("--site-entry")) {
    upload.terminal.siteEntry = ParseNumber(*text, 0, 1000);
    if (!upload.terminal.siteEntry) return UsageError(kUploadCommand, "--site-entry needs a number");
  }
  if (const auto id = args.Value("--id")) {
    if (id->empty()) return UsageError(kUploadCommand, "--id needs a non-empty ID");
    upload.id = *id;
  }
  upload.terminal.albumUtf8 = args.Value("--album");
  if (args.Has("--password-stdin")) {
    upload.password = ReadSecretLine("password: ");  // the prompt shows on a terminal only
    if (!upload.password)
      return UsageError(kUploadCommand, "--password-stdin: no password on standard input");
    if (upload.password->empty())
      return UsageError(kUploadCommand, "--password-stdin: the password line is empty");
  }
  // The choosers prompt whenever there is a terminal to answer them; the password line, if any,
  // has been read by now.
  upload.terminal.interactive = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
  upload.terminal.progress = args.Has("--progress") || isatty(STDERR_FILENO);
  upload.terminal.inPlace = isatty(STDERR_FILENO);
  return upload;
}

// With no password given or saved and a terminal to type it on, asks for it without echo.
void PromptForPassword(CommandLineSettings& settings, const EndpointTable& endpoints) {
  if (settings.password || !isatty(STDIN_FILENO) || !isatty(STDERR_FILENO)) return;
  DialogSettings preview;
  LoadSettings(settings, endpoints, preview);
  if (preview.account.id.empty() || !preview.account.password.empty()) return;
  const Destination destination = DestinationOf(preview);
  const std::string prompt = "password for " + posix::Cp932ToUtf8(preview.account.id) + " at " +
                             destination.caption + " (" + destination.host + "): ";
  if (const auto typed = ReadSecretLine(prompt.c_str()); typed && !typed->empty()) {
    settings.password = posix::Utf8ToCp932(*typed);
  }
}

bool AllRowsSucceeded(const UploadDialog& dialog) {
  for (const auto& row : dialog.fileList().rows()) {
    if (row.cells[2] != texts::kStatusSuccess) return false;
  }
  return true;
}

void ReportCancel(const UploadDialog& dialog) {
  std::size_t unsent = 0;
  for (const auto& row : dialog.fileList().rows()) unsent += row.cells[2] == kStatusNotHandled;
  std::fprintf(stderr, "wharfling upload: cancelled; %zu file(s) not sent\n", unsent);
}

int Run(const ParsedArgs& args) {
  auto checked = Check(args);
  if (const int* status = std::get_if<int>(&checked)) return *status;
  UploadArgs& upload = std::get<UploadArgs>(checked);

  auto frontEnd = MakeFrontEnd();
  if (!SettingsUsable(*frontEnd, "upload")) return kConfigError;
  CommandLineSettings settings(*frontEnd->settings);
  settings.selection = upload.destination;
  if (upload.id) settings.id = posix::Utf8ToCp932(*upload.id);
  if (upload.password) settings.password = posix::Utf8ToCp932(*upload.password);
  if (args.Has("--fit")) settings.fit = 1;
  if (args.Has("--strip-location")) settings.noLocation = 1;
  PromptForPassword(settings, frontEnd->endpoints);

  TerminalView view(upload.terminal);
  UploadDialog dialog(args.operands, view,
                      DialogServices{settings, frontEnd->endpoints, frontEnd->codec, *frontEnd->web});
  // A destination named on the command line is not asked again.
  dialog.Initialize(/*allowSiteChooser=*/!upload.destination);
  const std::vector<Text> startupMessages = view.messages();

  int status = kNotRun;
  if (dialog.CanStartUpload()) {
    const Destination destination = DestinationOf(dialog.settings());
    std::fprintf(stderr, "signing in to %s (%s) as %s\n", destination.caption.c_str(),
                 destination.host.c_str(), posix::Cp932ToUtf8(dialog.settings().account.id).c_str());
    view.StartReportingProgress();
    frontEnd->reporting->SetBeforeLine([&view] { view.CloseBytesLine(); });
    frontEnd->web->SetUploadProgress(
        [&view](const std::string& path, std::uint64_t sent, std::uint64_t total) {
          view.ShowBytesSent(std::filesystem::path(path).filename().string(), sent, total);
        });
    {
      CancelOnInterrupt interrupt(dialog.cancelRequest());
      dialog.StartUpload();
    }
    frontEnd->web->SetUploadProgress(nullptr);
    if (dialog.lastRunSignedIn()) {
      status = AllRowsSucceeded(dialog) && !dialog.lastRunCancelled() ? kAllSucceeded : kSomeFailed;
    }
    if (dialog.lastRunCancelled()) ReportCancel(dialog);
  } else if (!dialog.blocked()) {
    std::fprintf(stderr,
                 "wharfling upload: no account for this destination (give --id, and --password-stdin "
                 "or type the password on a terminal)\n");
  }

  auto report = DialogReport(dialog, view, startupMessages);
  report["progress"] = view.progressPosition();
  nlohmann::json runMessages = nlohmann::json::array();
  for (std::size_t i = startupMessages.size(); i < view.messages().size(); ++i) {
    runMessages.push_back(posix::Cp932ToUtf8(view.messages()[i]));
  }
  report["run_messages"] = runMessages;
  report["cancelled"] = dialog.lastRunCancelled();
  if (args.Has("--json")) {
    PrintJson(report);
  } else {
    PrintReport(stdout, report);
  }
  return status;
}

}  // namespace

const Command kUploadCommand{
    "upload",
    "PATH...",
    "run the upload dialog in the terminal and upload the accepted files",
    kOptions,
    "The account is the selected destination's saved one; --id and the password from\n"
    "--password-stdin (or typed at a prompt on a terminal) take its place and are saved after a\n"
    "sign-in that succeeds. Before signing in, the destination, its host and the ID are printed\n"
    "on stderr. On a terminal the choosers prompt; otherwise --site-entry and --album answer them,\n"
    "or they close without a choice. --destination skips the site chooser.\n"
    "\n"
    "--fit accepts a JPEG over the size limit and sends it re-encoded (lower quality, then smaller)\n"
    "to the largest size within the limit; --strip-location removes the EXIF GPS data and the XMP\n"
    "location from every photo sent. Both change only the bytes sent, never the file; a photo they\n"
    "cannot change fails with the reason in its row.\n"
    "\n"
    "During the run, Ctrl-C cancels it: the file in flight fails within a second, the rest keep\n"
    "\"--\", and the run signs out (3 seconds at most) and saves as at its end; a second Ctrl-C\n"
    "quits at once, without signing out or saving. A file over 1 MB shows its bytes and rate as it\n"
    "goes (with the line per file).\n"
    "\n"
    "Exit status: 0 when every file reads \"成功\", 1 when some file does not or the run was\n"
    "cancelled, 2 when nothing was uploaded (blocked, no account, failed sign-in), 64 for bad\n"
    "usage, 78 when the profile or endpoints.ini cannot be read.",
    Run};

}  // namespace wharfling::cli
