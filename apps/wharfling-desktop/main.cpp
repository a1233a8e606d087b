// wharfling-desktop PATH...: the upload dialog on the desktop, for the photos a file manager sends.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "apps/wharfling-desktop/desktop_services.h"
#include "apps/wharfling-desktop/snapshot_hook.h"
#include "platform/posix/config_dir.h"
#include "platform/qt/desktop_dialog.h"

namespace {

constexpr int kUsageError = 64;
constexpr int kConfigError = 78;

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: wharfling-desktop PATH...\n"
               "       wharfling-desktop --help | --version\n\n"
               "Opens the upload dialog for the given photos; file managers start it through the\n"
               "\"upload Parvault\" entries that the package installs or `wharfling register` writes.\n\n"
               "  --help     show this help and exit\n"
               "  --version  print the version and exit\n");
}

int Usage() {
  PrintUsage(stderr);
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  // Told before Qt starts, so that a wrong call gets its answer even without a display.
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    PrintUsage(stdout);
    return 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("wharfling-desktop %s\n", WHARFLING_VERSION);
    return 0;
  }
  if (argc < 2) return Usage();
  QApplication application(argc, argv);
  // Message boxes are captioned with the program's name.
  QApplication::setApplicationName(QString::fromStdString(wharfling::posix::ProgramName(argv[0])));

  // Qt has taken its own options out of argv; the rest are paths, kept as the bytes they are.
  std::vector<std::string> paths;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (options && argument == "--") {
      options = false;
    } else if (options && argument.starts_with('-')) {
      return Usage();
    } else {
      paths.emplace_back(argument);
    }
  }
  if (paths.empty()) return Usage();

  wharfling::desktop::DesktopServices services;
  const auto hook = wharfling::desktop::SnapshotHookFromEnvironment();
  if (!services.problems().empty()) {
    QString text =
        "The settings cannot be used, so nothing is sent. Fix these lines (see 'wharfling config'):\n";
    for (const auto& problem : services.problems()) {
      std::fprintf(stderr, "%s\n", problem.c_str());
      text += "\n" + QString::fromStdString(problem);
    }
    // Unattended runs have the lines on stderr only.
    if (!hook) QMessageBox::warning(nullptr, QApplication::applicationName(), text);
    return kConfigError;
  }
  wharfling::qt::DesktopDialog dialog(
      paths, services.services(),
      hook ? std::optional(wharfling::desktop::SnapshotModals(*hook)) : std::nullopt);
  dialog.Initialize();
  if (hook) wharfling::desktop::ArmSnapshotHook(*hook, dialog);
  dialog.Exec();
  return 0;
}
