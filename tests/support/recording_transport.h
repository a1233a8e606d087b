#pragma once
// An HttpTransport that keeps a copy of every request it is given and answers with scripted
// responses, for tests of what the core hands to the platform client.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "web/http_transport.h"

namespace wharfling::testing {

struct TransportCall {
  HttpRequest request;  // request.body and userAgent cleared: they pointed at the caller's memory
  std::string body;
  std::string userAgent;
};

class RecordingTransport final : public HttpTransport {
 public:
  using Handler = std::function<HttpResponse(const TransportCall&)>;

  // Queues the next response; when none is queued a sent response with an empty block and body is given.
  void Script(HttpResponse response) { scripted_.push_back(std::move(response)); }
  // Answers every request not answered by a queued response.
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

  // A sent response with the status line, header lines (each without CRLF) and body.
  static HttpResponse Response(const std::string& statusLine, const std::vector<std::string>& headers = {},
                               const std::string& body = "") {
    HttpResponse response;
    response.sent = true;
    response.headerBlock = statusLine + "\r\n";
    for (const auto& header : headers) response.headerBlock += header + "\r\n";
    response.headerBlock += "\r\n";
    response.body = body;
    return response;
  }

  HttpResponse Perform(const HttpRequest& request) override {
    TransportCall call{request, std::string(request.body), std::string(request.userAgent)};
    call.request.body = {};
    call.request.userAgent = {};
    calls_.push_back(std::move(call));
    HttpResponse response;
    response.sent = true;
    if (!scripted_.empty()) {
      response = std::move(scripted_.front());
      scripted_.pop_front();
    } else if (handler_) {
      response = handler_(calls_.back());
    }
    return response;
  }

  const std::deque<TransportCall>& calls() const { return calls_; }

 private:
  std::deque<HttpResponse> scripted_;
  Handler handler_;
  std::deque<TransportCall> calls_;  // a deque: references stay valid as calls are added
};

}  // namespace wharfling::testing
