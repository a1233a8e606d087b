#include "apps/wharfling/front_end.h"

#include <iostream>

#include "platform/posix/config_dir.h"
#include "platform/posix/endpoint_overrides.h"

namespace wharfling::cli {

std::unique_ptr<FrontEnd> MakeFrontEnd() {
  auto frontEnd = std::make_unique<FrontEnd>();
  const auto directory = posix::ConfigDirectory();
  frontEnd->store = std::make_unique<posix::IniSettingsStore>(directory, "wharfling");
  posix::LoadEndpointOverrides(directory / "endpoints.ini", frontEnd->endpoints, std::cerr);
  frontEnd->transport = std::make_unique<posix::CurlTransport>();
  frontEnd->web = std::make_unique<WebClient>(*frontEnd->transport, frontEnd->codec);
  return frontEnd;
}

}  // namespace wharfling::cli
