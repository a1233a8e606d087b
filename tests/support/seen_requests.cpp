#include "tests/support/seen_requests.h"

namespace wharfling::testing {

void PrintTo(const SeenRequest& request, std::ostream* out) {
  *out << "{" << request.line << (request.secure ? ", secure" : ", plain") << ", Referer \""
       << request.referer << "\", body \"" << request.body << "\"}";
}

std::vector<SeenRequest> SeenRequests(const FakeSite& site) {
  std::vector<SeenRequest> seen;
  for (const auto& request : site.Requests()) {
    const bool multipart = request.http.Header("Content-Type").rfind("multipart/form-data", 0) == 0;
    seen.push_back({request.http.method + " " + request.http.target, request.secure,
                    request.http.Header("Referer"), multipart ? "multipart" : request.http.body});
  }
  return seen;
}

}  // namespace wharfling::testing
