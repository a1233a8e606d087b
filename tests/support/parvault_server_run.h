#pragma once
// The upload dialog for the in-house server (destination 2), whose address is a parvault-server on
// loopback: the real driver against the real server.

#include <string>

#include "tests/support/driver_run.h"
#include "tests/support/parvault_test_server.h"

namespace wharfling::testing {

class ParvaultServerRun : public DriverRun {
 public:
  explicit ParvaultServerRun(const ParvaultTestServer& server) : DriverRun(2) {
    endpoints.Override("inhouse.server", "127.0.0.1:" + std::to_string(server.port()));
  }
};

}  // namespace wharfling::testing
