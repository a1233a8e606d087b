#include "server/command_line.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include "server/engine/forwarded_for.h"

namespace wharfling::server {
namespace {

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// The first line of the file, without its line ending: the password, kept off the command line
// where every local user could read it.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) {
    error = "--password-file: cannot read a line from " + path;
    return false;
  }
  if (line.ends_with('\r')) line.pop_back();
  password = std::move(line);
  return true;
}

}  // namespace

bool ParseListenAddress(std::string_view text, std::string& host, int& port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view hostPart = text.substr(0, colon);
  if (hostPart.front() == '[') {
    if (hostPart.size() < 3 || hostPart.back() != ']') return false;
    hostPart = hostPart.substr(1, hostPart.size() - 2);
  } else if (hostPart.find(':') != std::string_view::npos) {
    return false;  // an IPv6 address goes in brackets
  }
  int value = 0;
  if (!ParseNumber(text.substr(colon + 1), value) || value < 0 || value > 65535) return false;
  host = std::string(hostPart);
  port = value;
  return true;
}

bool ParseCommandLine(std::span<const std::string_view> args, CommandLine& out, std::string& error) {
  for (std::size_t at = 0; at < args.size(); ++at) {
    std::string_view option = args[at];
    std::string_view value;
    bool hasValue = false;
    if (const std::size_t eq = option.find('='); option.starts_with("--") && eq != std::string_view::npos) {
      value = option.substr(eq + 1);
      option = option.substr(0, eq);
      hasValue = true;
    }
    const auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (at + 1 >= args.size()) {
        error = std::string(option) + " needs a value";
        return false;
      }
      value = args[++at];
      return true;
    };
    if (option == "--help" || option == "-h") {
      out.help = true;
    } else if (option == "--version") {
      out.version = true;
    } else if (option == "--hash-password") {
      out.hashPassword = true;
    } else if (option == "--listen") {
      if (!takeValue()) return false;
      if (!ParseListenAddress(value, out.options.host, out.options.port)) {
        error = "--listen takes ADDR:PORT, for example 127.0.0.1:8780 or [::1]:8780";
        return false;
      }
    } else if (option == "--storage") {
      if (!takeValue()) return false;
      if (value.empty()) {
        error = "--storage needs a folder";
        return false;
      }
      out.options.storage = std::string(value);
    } else if (option == "--users") {
      if (!takeValue()) return false;
      out.usersFiles.emplace_back(value);
    } else if (option == "--user") {
      if (!takeValue()) return false;
      if (std::find(out.users.begin(), out.users.end(), value) != out.users.end()) {
        error = "--user " + std::string(value) + " is given twice";
        return false;
      }
      out.user = std::string(value);
      out.users.push_back(out.user);
      out.hasUser = true;
    } else if (option == "--password") {
      if (!takeValue()) return false;
      out.password = std::string(value);
      out.passwords.push_back(out.password);
      out.hasPassword = true;
    } else if (option == "--password-file") {
      if (!takeValue()) return false;
      if (!ReadPasswordFile(std::string(value), out.password, error)) return false;
      out.passwords.push_back(out.password);
      out.hasPassword = true;
    } else if (option == "--max-size") {
      if (!takeValue()) return false;
      // The server adds room for the form's other parts to the limit: that sum must not wrap round.
      if (!ParseNumber(value, out.options.maxFileSize) || out.options.maxFileSize == 0 ||
          out.options.maxFileSize > kMaxFileSizeLimit) {
        error = "--max-size takes a number of bytes from 1 to " + std::to_string(kMaxFileSizeLimit);
        return false;
      }
    } else if (option == "--tls-cert" || option == "--tls-key") {
      if (!takeValue()) return false;
      if (value.empty()) {
        error = std::string(option) + " needs a file";
        return false;
      }
      (option == "--tls-cert" ? out.options.tlsCertFile : out.options.tlsKeyFile) = std::string(value);
    } else if (option == "--quota") {
      if (!takeValue()) return false;
      std::uint64_t quota = 0;
      if (!ParseNumber(value, quota) || quota == 0) {
        error = "--quota takes a number of bytes from 1 up";
        return false;
      }
      out.options.quota = quota;
    } else if (option == "--trusted-proxy") {
      if (!takeValue()) return false;
      out.options.limits.trustedProxy = CanonicalAddress(value);
      if (out.options.limits.trustedProxy.empty()) {
        error = "--trusted-proxy takes the proxy's IP address, for example 10.0.0.5 or fd00::5";
        return false;
      }
    } else if (option == "--database") {
      if (!takeValue()) return false;
      state::DatabaseChoice choice;
      if (!state::ParseDatabaseChoice(value, choice, error)) return false;
      out.database = std::move(choice);
    } else if (option == "--copy-database") {
      if (hasValue || at + 2 >= args.size()) {
        error = "--copy-database needs two databases: FROM TO";
        return false;
      }
      state::DatabaseChoice from;
      state::DatabaseChoice to;
      if (!state::ParseDatabaseChoice(args[at + 1], from, error) ||
          !state::ParseDatabaseChoice(args[at + 2], to, error)) {
        return false;
      }
      at += 2;
      out.copyFrom = std::move(from);
      out.copyTo = std::move(to);
    } else {
      error = "unknown argument " + std::string(option);
      return false;
    }
  }
  if (out.help || out.version) return true;
  if (out.copyFrom) {
    if (args.size() != 3) {
      error = "--copy-database takes no other option";
      return false;
    }
    return true;
  }
  if (out.hashPassword) {
    if (!out.hasUser) {
      error = "--hash-password needs --user NAME";
      return false;
    }
    return true;
  }
  if (out.options.tlsCertFile.empty() != out.options.tlsKeyFile.empty()) {
    error = "--tls-cert and --tls-key go together";
    return false;
  }
  if (out.users.size() != out.passwords.size()) {
    error = "each --user goes with one --password (or --password-file)";
    return false;
  }
  if (!out.hasUser && out.usersFiles.empty()) {
    error = "no account: give --users FILE or --user NAME --password PW";
    return false;
  }
  return true;
}

bool CollectAccounts(const CommandLine& commandLine, std::vector<Account>& accounts, std::string& error) {
  for (const auto& file : commandLine.usersFiles) {
    if (!LoadAccountsFile(file, accounts, error)) return false;
  }
  for (std::size_t i = 0; i < commandLine.users.size() && i < commandLine.passwords.size(); ++i) {
    std::string why;
    if (!IsValidAccountName(commandLine.users[i], why)) {
      error = "--user " + commandLine.users[i] + ": " + why;
      return false;
    }
    accounts.push_back(MakeAccount(commandLine.users[i], commandLine.passwords[i]));
  }
  return true;
}

std::string UsageText() {
  return "usage: parvault-server [--listen ADDR:PORT] [--storage DIR] [--users FILE]\n"
         "                       [--user NAME --password-file FILE]... [--max-size BYTES] [--quota BYTES]\n"
         "                       [--tls-cert FILE --tls-key FILE] [--database URL]\n"
         "                       [--trusted-proxy ADDR]\n"
         "       parvault-server --hash-password --user NAME < password\n"
         "       parvault-server --copy-database FROM TO\n"
         "\n"
         "  --listen ADDR:PORT  address to serve on (default 127.0.0.1:8780; port 0: any free port)\n"
         "  --storage DIR       uploads go to DIR/<user>/ (default ./parvault-storage)\n"
         "  --users FILE        accounts, one name:salt:hash line each (see --hash-password)\n"
         "  --user NAME         one more account, whose password is given by:\n"
         "  --password-file F   the first line of F (other local users cannot see it)\n"
         "  --password PW       PW itself, visible to every local user while the server runs\n"
         "  --max-size BYTES    largest file accepted (default 4000000)\n"
         "  --quota BYTES       most bytes one account's files may take (default: no limit)\n"
         "  --tls-cert FILE     serve https only, with this certificate chain (PEM; SIGHUP reloads it)\n"
         "  --tls-key FILE      and its private key (PEM, unencrypted)\n"
         "  --database URL      where the server's state is kept: sqlite:PATH (default\n"
         "                      sqlite:DIR/.parvault-state.db) or postgresql://USER@HOST/DB; the password\n"
         "                      goes in ~/.pgpass or a service file, never in the URL\n"
         "  --trusted-proxy ADDR  the reverse proxy at ADDR: from it, the client is the last address of\n"
         "                      X-Forwarded-For (for the login brake and the log), and it is not held\n"
         "                      to the connections per address, only to the total\n"
         "  --copy-database FROM TO  copy the state from one database URL to another (SQLite to\n"
         "                      PostgreSQL or back, photo ids kept), print what was copied and exit\n"
         "  --hash-password     print the accounts-file line of --user for the password on stdin\n"
         "  --version           print the version and exit\n"
         "  -h, --help          show this help and exit\n"
         "\n"
         "Photos are files in DIR/<user>/, under their own names. Everything else the server keeps\n"
         "(photo ids, thumbnails made, sessions, the key of its forms, the login brake, quota use) is\n"
         "in DIR/.parvault-state.db (SQLite) unless --database names another. To back up, copy DIR\n"
         "while the server is stopped, or while it runs take the database with SQLite's online\n"
         "backup first (pg_dump for PostgreSQL):\n"
         "  sqlite3 DIR/.parvault-state.db \".backup BACKUP.db\"\n"
         "then copy the account folders.\n"
         "\n"
         "The gallery's thumbnails are made by a helper program, parvault-thumbnailer, which decodes\n"
         "each picture in a process of its own under limits of memory and CPU time; the server links\n"
         "no image decoder. It is looked for beside this program, then in ../libexec/parvault-server/\n"
         "from its folder (PARVAULT_THUMBNAILER names another). Without it, photos show as plain tiles\n"
         "and the log says why; they get their thumbnails at the first view once it is there.\n";
}

}  // namespace wharfling::server
