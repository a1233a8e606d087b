#pragma once
// The in-house Parvault server: the pages the uploader's Parvault driver walks, served under both
// "/" and "/ParvaultAsp2":
//   GET  <base>                  the login page (also <base>/ and <base>/INDEX.HTM)
//   POST <base>/logincheck2.asp  302 to "menu.asp" with a session cookie, or to "Error.ASP"
//   GET  <base>/menu.asp         the signed-in account's photo gallery (see gallery_routes.h for
//                                the other pages people use in a browser)
//   GET  <base>/Error.ASP        the failed-login page
//   POST <base>/InsertFile.asp   multipart, file field "DataFile": "200 OK" when stored, else a
//                                302 to "refused.asp?code=..." whose page carries the reason
//   GET  <base>/refused.asp      the refusal page
//   GET  <base>/logout2.asp      ends the session
// Every other method is answered 405, an encoded body 415.
// Page names are matched ignoring case: clients may spell "InsertFile.asp" as "insertfile.asp".

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/accounts/accounts.h"
#include "server/engine/connection_limits.h"
#include "server/server_state.h"

namespace wharfling::server {

inline constexpr std::string_view kSiteFolder = "/ParvaultAsp2";
inline constexpr std::string_view kSessionCookie = "PVSESSION";

struct ParvaultServerOptions {
  std::string host = "127.0.0.1";
  int port = 8780;  // 0: any free port, see ParvaultServer::port()
  std::filesystem::path storage = "parvault-storage";
  std::uint64_t maxFileSize = 4000000;  // bytes of one file; a file of exactly this size is taken
  // The most bytes one account's files may take; none: no limit.
  std::optional<std::uint64_t> quota;
  int photosPerPage = 24;
  // How long a request for a thumbnail that another request (of any server) is making waits for it
  // before it answers the neutral tile, not to be kept.
  std::chrono::milliseconds thumbnailWait{std::chrono::seconds(10)};
  std::vector<Account> accounts;
  ConnectionLimits limits;
  // With both, the address serves https only (GnuTLS): PEM files of the certificate chain and its key.
  std::string tlsCertFile;
  std::string tlsKeyFile;
  // Opens where the server's state is kept; by default SQLite in the storage folder
  // (OpenSqliteStateIn). Photos stay files in the accounts' folders whichever it is.
  OpenLibraryState openState;
  // Receives each log line, without its line feed; by default they go to standard error.
  std::function<void(const std::string&)> log;
};

class ParvaultServer {
 public:
  explicit ParvaultServer(ParvaultServerOptions options);
  ~ParvaultServer();
  ParvaultServer(const ParvaultServer&) = delete;
  ParvaultServer& operator=(const ParvaultServer&) = delete;

  // Opens the storage, binds the address and serves on a thread of its own until Stop().
  bool Start(std::string& error);
  // Stops accepting, lets the requests under way end within the stop grace of the limits (an upload
  // cut off there leaves no file), and returns when all have.
  void Stop();
  // Loads the TLS certificate and key files again (a renewed certificate): new connections get it,
  // open ones keep theirs. False, with error, when they cannot be read (the old pair stays).
  bool ReloadCertificate(std::string& error);
  bool secure() const;
  // The bound port (the real one when 0 was asked for); -1 before Start().
  int port() const;
  // "127.0.0.1:8780", "[::1]:8780".
  std::string address() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace wharfling::server
