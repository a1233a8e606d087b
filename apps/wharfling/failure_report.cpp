#include "apps/wharfling/failure_report.h"

#include <string>

#include "platform/posix/encoding.h"

namespace wharfling::cli {

HttpResponse FailureReportingTransport::Perform(const HttpRequest& request) {
  HttpResponse response = inner_.Perform(request);
  if (!response.sent || response.requestIncomplete) {
    if (beforeLine_) beforeLine_();
    const std::string host =
        request.host.find(':') != std::string::npos ? "[" + request.host + "]" : request.host;
    const std::string line = host + ":" + std::to_string(request.port) + ": " +
                             (response.error.empty() ? "not sent" : response.error);
    std::fprintf(out_, "wharfling: %s\n", posix::EscapeControls(posix::Cp932ToUtf8(line)).c_str());
  }
  return response;
}

}  // namespace wharfling::cli
