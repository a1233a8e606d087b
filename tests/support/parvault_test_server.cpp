#include "tests/support/parvault_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/http_test_client.h"

namespace wharfling::testing {
namespace {

// A peer that closes first must not kill the test binary with SIGPIPE.
const bool kIgnoreSigpipe = [] {
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}();

std::string TextPart(std::string_view name) {
  return "-----------------------------7d432817150952\r\nContent-Disposition: form-data; name=\"" +
         std::string(name) + "\"\r\n\r\n\r\n";
}

}  // namespace

std::string UploaderBody(std::string_view fileName, std::string_view fileBytes) {
  std::string body = TextPart("FileID") + TextPart("CompressFlg") + TextPart("SplitNo") + TextPart("version");
  body +=
      "-----------------------------7d432817150952\r\nContent-Disposition: form-data; name=\"DataFile\"; "
      "filename=\"";
  body += fileName;
  body += "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
  body += fileBytes;
  body += "\r\n-----------------------------7d432817150952--\r\n";
  return body;
}

std::string ReasonAfterMarker(std::string_view page) {
  const std::size_t marker = page.find("-msg\">");
  if (marker == std::string_view::npos) return "<no marker>";
  const std::size_t start = marker + 6;
  const std::size_t stop = page.find('<', start);
  if (stop == std::string_view::npos) return "<no stop>";
  return std::string(page.substr(start, stop - start));
}

RawResponse ParseRawResponse(std::string_view bytes) {
  RawResponse response;
  for (std::size_t at = bytes.find("HTTP/1.1 "); at != std::string_view::npos;
       at = bytes.find("HTTP/1.1 ", at + 1)) {
    if (at == 0 || bytes.substr(at - 2, 2) == "\r\n") ++response.responseCount;
  }
  const std::size_t end = bytes.find("\r\n\r\n");
  if (end == std::string_view::npos) return response;
  response.headerBlock = std::string(bytes.substr(0, end + 4));
  response.statusLine = std::string(bytes.substr(0, bytes.find("\r\n")));
  std::size_t length = bytes.size() - (end + 4);
  const std::size_t header = response.headerBlock.find("Content-Length: ");
  if (header != std::string::npos)
    length = std::min<std::size_t>(length, std::stoul(response.headerBlock.substr(header + 16)));
  response.body = std::string(bytes.substr(end + 4, length));
  return response;
}

RawConnection::RawConnection(int port, const char* from) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd_ >= 0 && from != nullptr) {
    sockaddr_in source{};
    source.sin_family = AF_INET;
    if (::inet_pton(AF_INET, from, &source.sin_addr) != 1 ||
        ::bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
      Close();
      return;
    }
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) Close();
}

RawConnection::~RawConnection() { Close(); }

void RawConnection::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool RawConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

std::string RawConnection::ReadUntilClosed(std::chrono::milliseconds timeout) {
  std::string out;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  char buffer[65536];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd entry{fd_, POLLIN, 0};
    if (::poll(&entry, 1, 100) <= 0) continue;
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  return out;
}

RawResponse RawExchange(int port, std::string_view request) {
  RawConnection connection(port);
  if (!connection.connected() || !connection.Send(request)) return {};
  return ParseRawResponse(connection.ReadUntilClosed());
}

std::string RawPost(std::string_view path, std::string_view headerLines, std::string_view body) {
  std::string request = "POST " + std::string(path) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  request += headerLines;
  request += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  request += body;
  return request;
}

std::string SignInCookie(int port, std::string_view user, std::string_view password) {
  HttpTestClient client(port);
  const std::string body = "username=" + std::string(user) + "&password=" + std::string(password);
  const auto result = client.Post("/ParvaultAsp2/logincheck2.asp", body, "application/x-www-form-urlencoded");
  if (!result || result->Header("Location") != "menu.asp") return {};
  const std::string cookie = result->Header("Set-Cookie");
  return cookie.substr(0, cookie.find(';'));
}

ParvaultTestServer::ParvaultTestServer(std::vector<server::Account> extraAccounts,
                                       const std::function<void(server::ParvaultServerOptions&)>& adjust) {
  server::ParvaultServerOptions options;
  options.port = 0;
  options.storage = storage();
  options.accounts.push_back(server::MakeAccount("alice", "secret"));
  for (auto& account : extraAccounts) options.accounts.push_back(std::move(account));
  options.log = [this](const std::string& line) {
    std::lock_guard lock(logMutex_);
    log_.push_back(line);
  };
  if (adjust) adjust(options);
  server_ = std::make_unique<server::ParvaultServer>(std::move(options));
  std::string error;
  if (!server_->Start(error)) throw std::runtime_error("parvault-server did not start: " + error);
}

ParvaultTestServer::~ParvaultTestServer() { server_->Stop(); }

std::vector<std::string> ParvaultTestServer::logLines() const {
  std::lock_guard lock(logMutex_);
  return log_;
}

bool ParvaultTestServer::WaitForLog(std::string_view text, std::size_t count) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    const auto lines = logLines();
    if (static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
          return line.find(text) != std::string::npos;
        })) >= count) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace wharfling::testing
