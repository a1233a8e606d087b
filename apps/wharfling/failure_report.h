#pragma once
// The run's message boxes say only that an exchange failed; this says why, one line on standard
// error per failed exchange, naming the host and port and the transport's own words.

#include <cstdio>

#include "web/http_transport.h"

namespace wharfling::cli {

class FailureReportingTransport final : public HttpTransport {
 public:
  FailureReportingTransport(HttpTransport& inner, std::FILE* out) : inner_(inner), out_(out) {}
  HttpResponse Perform(const HttpRequest& request) override;

 private:
  HttpTransport& inner_;
  std::FILE* out_;
};

}  // namespace wharfling::cli
