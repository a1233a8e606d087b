#pragma once
// A request as a fake site saw it, beyond its line: the channel, the Referer and the form body. Driver
// tests compare a whole run against such a table written by hand.

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_site.h"

namespace wharfling::testing {

struct SeenRequest {
  std::string line;  // "METHOD target"
  bool secure = false;
  std::string referer;  // empty when none came
  std::string body;     // a form body as it came; "multipart" for an upload
  bool operator==(const SeenRequest&) const = default;
};

void PrintTo(const SeenRequest& request, std::ostream* out);

std::vector<SeenRequest> SeenRequests(const FakeSite& site);

}  // namespace wharfling::testing
