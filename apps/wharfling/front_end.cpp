#include "apps/wharfling/front_end.h"

#include <cerrno>
#include <iostream>

#include "apps/wharfling/failure_report.h"
#include "platform/posix/config_dir.h"
#include "platform/posix/endpoint_overrides.h"

namespace wharfling::cli {

std::unique_ptr<FrontEnd> MakeFrontEnd() {
  auto frontEnd = std::make_unique<FrontEnd>();
  const auto directory = posix::ConfigDirectory();
  // The profile is named after the program, so a renamed copy keeps settings of its own.
  frontEnd->store =
      std::make_unique<posix::IniSettingsStore>(directory, posix::ProfileName(program_invocation_name));
  posix::LoadEndpointOverrides(directory / "endpoints.ini", frontEnd->endpoints, std::cerr);
  frontEnd->transport = std::make_unique<posix::CurlTransport>();
  frontEnd->reporting = std::make_unique<FailureReportingTransport>(*frontEnd->transport, stderr);
  frontEnd->web = std::make_unique<WebClient>(*frontEnd->reporting, frontEnd->codec);
  return frontEnd;
}

}  // namespace wharfling::cli
