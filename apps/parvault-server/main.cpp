// parvault-server: the in-house Parvault server, destination 2 of the uploader.

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "server/accounts/accounts.h"
#include "server/command_line.h"
#include "server/library/thumbnails.h"
#include "server/parvault_server.h"
#include "server/state/library_copy.h"
#include "text/text.h"

namespace {

using wharfling::server::CommandLine;

constexpr int kUsageError = 64;

// Every connection holds two descriptors (the library's and the engine's own), so the soft limit
// goes up to the hard one.
void RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

int HashPassword(const CommandLine& commandLine) {
  std::string why;
  if (!wharfling::server::IsValidAccountName(commandLine.user, why)) {
    std::fprintf(stderr, "parvault-server: --user: %s\n", why.c_str());
    return kUsageError;
  }
  if (isatty(STDIN_FILENO)) std::fputs("password: ", stderr);
  std::string password;
  if (!std::getline(std::cin, password) && password.empty()) {
    std::fputs("parvault-server: no password on standard input\n", stderr);
    return kUsageError;
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.empty()) {
    std::fputs("parvault-server: the password is empty; an account needs one\n", stderr);
    return kUsageError;
  }
  const auto account = wharfling::server::MakeAccount(commandLine.user, password);
  std::printf("%s\n", wharfling::server::AccountLine(account).c_str());
  return 0;
}

// --copy-database: the copy runs, what was copied goes to standard output.
int CopyDatabase(const CommandLine& commandLine) {
  namespace state = wharfling::server::state;
  std::string error;
  // Opening a SQLite file creates it: a mistyped source would copy an empty library.
  const auto& source = *commandLine.copyFrom;
  std::error_code ec;
  if (source.kind == state::DatabaseChoice::Kind::kSqlite &&
      !std::filesystem::is_regular_file(source.sqliteFile, ec)) {
    std::fprintf(stderr, "parvault-server: no database file %s to copy from\n", source.sqliteFile.c_str());
    return 1;
  }
  const auto from = state::OpenLibraryState(*commandLine.copyFrom, {}, error);
  if (!from) {
    std::fprintf(stderr, "parvault-server: cannot open the database to copy from: %s\n", error.c_str());
    return 1;
  }
  const auto to = state::OpenLibraryState(*commandLine.copyTo, {}, error);
  if (!to) {
    std::fprintf(stderr, "parvault-server: cannot open the database to copy to: %s\n", error.c_str());
    return 1;
  }
  state::CopySummary summary;
  if (!state::CopyLibraryState(*from, *to, summary, error)) {
    std::fprintf(stderr, "parvault-server: the copy failed: %s\n", error.c_str());
    return 1;
  }
  if (summary.alreadyThere) {
    std::puts("the target holds this library already; nothing copied");
  } else {
    std::printf("copied %llu photo record(s) and %llu session(s), photo ids kept\n",
                static_cast<unsigned long long>(summary.photos),
                static_cast<unsigned long long>(summary.sessions));
  }
  return 0;
}

int Serve(CommandLine& commandLine) {
  std::string error;
  if (!wharfling::server::CollectAccounts(commandLine, commandLine.options.accounts, error)) {
    std::fprintf(stderr, "parvault-server: %s\n", error.c_str());
    return 1;
  }
  if (commandLine.options.accounts.empty()) {
    std::fputs("parvault-server: no account in the users file\n", stderr);
    return 1;
  }
  // SIGINT, SIGTERM and SIGHUP are blocked in every thread, the server's included, and taken by
  // sigwait below, so that stopping and reloading run as ordinary code.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  RaiseOpenFileLimit();
  std::signal(SIGPIPE, SIG_IGN);

  // Thumbnails are made by a helper program; without it the gallery still works, with plain tiles.
  if (const auto thumbnailer = wharfling::server::FindThumbnailer()) {
    std::fprintf(stderr, "parvault-server: thumbnails made by %s\n", thumbnailer->c_str());
  } else {
    std::fprintf(stderr, "parvault-server: %s; photos show as plain tiles\n",
                 wharfling::server::ThumbnailerNotFound().c_str());
  }
  const bool postgres = commandLine.database && commandLine.database->kind ==
                                                    wharfling::server::state::DatabaseChoice::Kind::kPostgres;
  if (commandLine.database) {
    commandLine.options.openState = wharfling::server::OpenChosenState(*commandLine.database);
  }
  const std::size_t accountCount = commandLine.options.accounts.size();
  const auto maxFileSize = commandLine.options.maxFileSize;
  const auto quota = commandLine.options.quota;
  std::error_code ec;
  const std::string storage = std::filesystem::absolute(commandLine.options.storage, ec).string();
  wharfling::server::ParvaultServer server(std::move(commandLine.options));
  if (!server.Start(error)) {
    std::fprintf(stderr, "parvault-server: %s\n", error.c_str());
    return 1;
  }
  const std::string quotaText =
      quota ? ", up to " + wharfling::FormatThousands(static_cast<long long>(*quota)) + " bytes per account"
            : "";
  std::fprintf(stderr, "parvault-server: %zu account(s), files up to %s bytes%s, storage %s%s%s\n",
               accountCount, wharfling::FormatThousands(static_cast<long long>(maxFileSize)).c_str(),
               quotaText.c_str(), storage.c_str(), postgres ? ", state in PostgreSQL" : "",
               server.secure() ? ", https only" : "");
  std::printf("listening on %s\n", server.address().c_str());
  std::fflush(stdout);

  int received = 0;
  while (sigwait(&signals, &received) == 0 && received == SIGHUP) {
    if (!server.secure()) continue;
    if (server.ReloadCertificate(error)) {
      std::fputs("parvault-server: SIGHUP, certificate loaded again\n", stderr);
    } else {
      std::fprintf(stderr, "parvault-server: SIGHUP, kept the certificate in use: %s\n", error.c_str());
    }
  }
  std::fprintf(stderr, "parvault-server: %s, stopping\n", received == SIGINT ? "SIGINT" : "SIGTERM");
  server.Stop();
  std::fputs("parvault-server: stopped\n", stderr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  CommandLine commandLine;
  std::string error;
  if (!wharfling::server::ParseCommandLine(args, commandLine, error)) {
    std::fprintf(stderr, "parvault-server: %s\n%s", error.c_str(), wharfling::server::UsageText().c_str());
    return kUsageError;
  }
  if (commandLine.help) {
    std::fputs(wharfling::server::UsageText().c_str(), stdout);
    return 0;
  }
  if (commandLine.version) {
    std::printf("parvault-server %s\n", WHARFLING_VERSION);
    return 0;
  }
  if (commandLine.hashPassword) return HashPassword(commandLine);
  if (commandLine.copyFrom) return CopyDatabase(commandLine);
  return Serve(commandLine);
}
