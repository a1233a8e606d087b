#pragma once
// An HTTP transport for tests that never touches the network: it records each request and
// answers from a handler.

#include <functional>
#include <string>
#include <vector>

#include "web/http_transport.h"

namespace wharfling::testing {

struct SeenRequest {
  bool secure;
  std::string host;
  std::uint16_t port;
  std::string method;
  std::string target;
  std::vector<std::string> headerLines;
  std::string body;
  AccessMode access;
};

class ScriptedTransport final : public HttpTransport {
 public:
  using Handler = std::function<HttpResponse(const SeenRequest&)>;
  explicit ScriptedTransport(Handler handler = {}) : handler_(std::move(handler)) {}

  HttpResponse Perform(const HttpRequest& request) override {
    SeenRequest seen{request.secure,
                     request.host,
                     request.port,
                     std::string(MethodName(request.method)),
                     request.target,
                     request.headerLines,
                     std::string(request.body),
                     request.access};
    requests.push_back(seen);
    if (!handler_) return {};
    return handler_(seen);
  }

  // A response with the given status line and header lines (each without CRLF) and body.
  static HttpResponse Reply(const std::string& statusLine, const std::vector<std::string>& headers = {},
                            const std::string& body = "") {
    HttpResponse response;
    response.sent = true;
    response.headerBlock = statusLine + "\r\n";
    for (const auto& header : headers) response.headerBlock += header + "\r\n";
    response.headerBlock += "\r\n";
    response.body = body;
    return response;
  }

  std::vector<SeenRequest> requests;

 private:
  Handler handler_;
};

}  // namespace wharfling::testing
