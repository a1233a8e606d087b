#pragma once
// An in-process parvault-server on an ephemeral loopback port with its own storage folder, and
// the raw-socket and uploader-shaped requests its tests send.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "server/parvault_server.h"
#include "tests/support/file_inspection.h"
#include "tests/support/multipart_form.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {

// The Content-Type header value of every uploader body.
inline constexpr std::string_view kUploaderContentType =
    "multipart/form-data; boundary=---------------------------7d432817150952";

// The body the uploader's Parvault sender builds: the empty text fields FileID, CompressFlg,
// SplitNo and version, then the file field DataFile named by the full local path.
std::string UploaderBody(std::string_view fileName, std::string_view fileBytes);

// The refusal reason as the uploader reads it: the text after "-msg\">" up to the next '<'.
std::string ReasonAfterMarker(std::string_view page);

struct RawResponse {
  std::string statusLine;   // "HTTP/1.1 200 OK"
  std::string headerBlock;  // status line and header lines, each ending in CRLF, then CRLF
  std::string body;
  std::size_t responseCount = 0;  // how many status lines arrived on the connection
};

// The first response in bytes read from a connection.
RawResponse ParseRawResponse(std::string_view bytes);

// A loopback connection that the test drives byte by byte.
class RawConnection {
 public:
  // To 127.0.0.1:port; from the loopback address `from` when given (a client on another host).
  explicit RawConnection(int port, const char* from = nullptr);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool connected() const { return fd_ >= 0; }
  bool Send(std::string_view bytes);
  // Everything the server sends until it closes the connection (or the time-out passes).
  std::string ReadUntilClosed(std::chrono::milliseconds timeout = std::chrono::seconds(30));
  void Close();

 private:
  int fd_ = -1;
};

// One request on its own connection; the request should say "Connection: close".
RawResponse RawExchange(int port, std::string_view request);

// A POST request's bytes: request line, Host, the given header lines (each ending in CRLF),
// Content-Length and Connection: close, then the body.
std::string RawPost(std::string_view path, std::string_view headerLines, std::string_view body);

// Signs in to the server on the port with the login form's two fields (the uploader's own form is its
// driver's to send); returns the Cookie header value ("PVSESSION=..."), or "".
std::string SignInCookie(int port, std::string_view user, std::string_view password);

class ParvaultTestServer {
 public:
  // Accounts: "alice" with password "secret", plus any given. Options may be adjusted first.
  explicit ParvaultTestServer(std::vector<server::Account> extraAccounts = {},
                              const std::function<void(server::ParvaultServerOptions&)>& adjust = {});
  ~ParvaultTestServer();

  int port() const { return server_->port(); }
  // A WHARFLING_CONNECT_TO value that sends the host's http port here, as if the server ran there.
  std::string ConnectTo(std::string_view host) const {
    return std::string(host) + ":80:127.0.0.1:" + std::to_string(port());
  }
  std::filesystem::path storage() const { return dir_.path() / "storage"; }
  std::filesystem::path folderOf(std::string_view account) const { return storage() / account; }
  server::ParvaultServer& server() { return *server_; }
  std::vector<std::string> logLines() const;
  // Waits until `count` log lines mention `text`; false when they do not come.
  bool WaitForLog(std::string_view text, std::size_t count = 1) const;

  // SignInCookie on this server.
  std::string SignIn(std::string_view user = "alice", std::string_view password = "secret") const {
    return SignInCookie(port(), user, password);
  }

 private:
  TempDir dir_;
  mutable std::mutex logMutex_;
  std::vector<std::string> log_;
  std::unique_ptr<server::ParvaultServer> server_;
};

}  // namespace wharfling::testing
