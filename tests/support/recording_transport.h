#pragma once
// An HttpTransport that keeps a copy of every request it is given and answers with scripted
// responses, for tests of what the core hands to the platform client.

#include <deque>
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
  // Queues the next response; when none is queued a sent response with an empty block and body is given.
  void Script(HttpResponse response) { scripted_.push_back(std::move(response)); }

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
    }
    return response;
  }

  const std::deque<TransportCall>& calls() const { return calls_; }

 private:
  std::deque<HttpResponse> scripted_;
  std::deque<TransportCall> calls_;  // a deque: references stay valid as calls are added
};

}  // namespace wharfling::testing
