#include "platform/win32/wininet_transport.h"

#include <windows.h>
#include <wininet.h>

#include "web/url_parts.h"

namespace wharfling::win32 {
namespace {

constexpr DWORD kReadSize = 10240;
constexpr DWORD kAddOrReplace = HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE;

// A WinINet handle, closed with its scope; scopes end in reverse order (request, connection, client).
class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_ != nullptr) InternetCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

// WinINet's own words for its last error, else the system's, else the number.
std::string ErrorText(const char* step) {
  const DWORD error = GetLastError();
  char buffer[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                GetModuleHandleA("wininet.dll"), error, 0, buffer, sizeof buffer, nullptr);
  if (length == 0) {
    length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                            buffer, sizeof buffer, nullptr);
  }
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "error " + std::to_string(error);
  return std::string(step) + ": " + text;
}

// The raw header block; empty when WinINet has none to give.
std::string HeaderBlock(HINTERNET request) {
  DWORD size = 0;
  HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
  std::string block(size, '\0');
  if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, block.data(), &size, nullptr)) return {};
  block.resize(size);
  return block;
}

HttpResponse Failed(std::string error) {
  HttpResponse response;
  response.error = std::move(error);
  return response;
}

}  // namespace

HttpResponse WinInetTransport::Perform(const HttpRequest& request) {
  const std::string userAgent(request.userAgent);
  const DWORD access =
      request.access == AccessMode::kDirect ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG;
  InternetHandle client(InternetOpenA(userAgent.c_str(), access, nullptr, nullptr, 0));
  if (client.get() == nullptr) return Failed(ErrorText("InternetOpen"));
  InternetHandle connection(InternetConnectA(client.get(), request.host.c_str(), request.port, nullptr,
                                             nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (connection.get() == nullptr) return Failed(ErrorText("InternetConnect"));

  DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (request.secure) flags |= INTERNET_FLAG_SECURE;
  const std::string target = EscapeRequestTarget(request.target);
  InternetHandle http(HttpOpenRequestA(connection.get(), std::string(MethodName(request.method)).c_str(),
                                       target.c_str(), nullptr, nullptr, nullptr, flags, 0));
  if (http.get() == nullptr) return Failed(ErrorText("HttpOpenRequest"));

  // A line WinINet refuses is skipped; the request still goes out.
  for (const auto& line : request.headerLines) {
    const std::string withEnd = line + "\r\n";
    HttpAddRequestHeadersA(http.get(), withEnd.c_str(), static_cast<DWORD>(-1), kAddOrReplace);
  }

  void* body = request.body.empty() ? nullptr : const_cast<char*>(request.body.data());
  if (!HttpSendRequestA(http.get(), nullptr, 0, body, static_cast<DWORD>(request.body.size())))
    return Failed(ErrorText("HttpSendRequest"));

  HttpResponse response;
  response.headerBlock = HeaderBlock(http.get());
  std::string chunk(kReadSize, '\0');
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(http.get(), chunk.data(), kReadSize, &read) || read == 0) break;
    if (response.headerBlock.size() + response.body.size() + read > kMaxReplyBytes)
      return Failed("reply larger than " + std::to_string(kMaxReplyBytes) + " bytes");
    response.body.append(chunk.data(), read);
  }
  response.sent = true;
  return response;
}

}  // namespace wharfling::win32
