#pragma once
// The command line of parvault-server:
//   parvault-server [--listen ADDR:PORT] [--storage DIR] [--users FILE]
//                   [--user NAME --password-file FILE | --password PW]... [--max-size BYTES]
//                   [--quota BYTES] [--tls-cert FILE --tls-key FILE] [--database URL]
//                   [--trusted-proxy ADDR]
//   parvault-server --copy-database FROM TO
//   parvault-server --hash-password --user NAME   (reads the password from standard input)

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "server/parvault_server.h"
#include "server/state/database_choice.h"

namespace wharfling::server {

// The largest --max-size: the limit plus the room left for the form's other parts stays countable.
inline constexpr std::uint64_t kMaxFileSizeLimit = std::uint64_t{1} << 48;

struct CommandLine {
  ParvaultServerOptions options;  // address, storage and size limit; accounts come from below
  std::vector<std::string> usersFiles;
  // Each --user is one more account; the Nth takes the Nth --password or --password-file.
  std::vector<std::string> users;
  std::vector<std::string> passwords;
  std::string user;      // the last --user (the name --hash-password hashes for)
  std::string password;  // the last password given
  bool hasUser = false;
  bool hasPassword = false;
  bool hashPassword = false;
  // --database; none: SQLite in the storage folder.
  std::optional<state::DatabaseChoice> database;
  // --copy-database FROM TO: copy the state and exit.
  std::optional<state::DatabaseChoice> copyFrom;
  std::optional<state::DatabaseChoice> copyTo;
  bool help = false;
  bool version = false;
};

// "127.0.0.1:8780", "localhost:0", "[::1]:8780"; the port 0 to 65535.
bool ParseListenAddress(std::string_view text, std::string& host, int& port);

// Parses the arguments after the program's name; false, with error, on bad usage.
bool ParseCommandLine(std::span<const std::string_view> args, CommandLine& out, std::string& error);

// The accounts of the --users files and of --user/--password.
bool CollectAccounts(const CommandLine& commandLine, std::vector<Account>& accounts, std::string& error);

std::string UsageText();

}  // namespace wharfling::server
