#pragma once
// The run's message boxes say only that an exchange failed; this says why, one line on standard
// error per failed exchange or request that went out incomplete, naming the host and port and the
// transport's own words.

#include <cstdio>
#include <functional>

#include "web/http_transport.h"

namespace wharfling::cli {

class FailureReportingTransport final : public HttpTransport {
 public:
  FailureReportingTransport(HttpTransport& inner, std::FILE* out) : inner_(inner), out_(out) {}
  HttpResponse Perform(const HttpRequest& request) override;
  // Called before each line, to end whatever line the caller left open.
  void SetBeforeLine(std::function<void()> beforeLine) { beforeLine_ = std::move(beforeLine); }

 private:
  HttpTransport& inner_;
  std::FILE* out_;
  std::function<void()> beforeLine_;
};

}  // namespace wharfling::cli
