#pragma once
// Endpoint overrides from the profile: the "Endpoints" section holds one REG_SZ value per entry,
// named "site.role" with the host as its data, for pointing destinations at other servers.

#include <string>

#include "session/endpoints.h"

namespace wharfling::win32 {

// Applies the overrides of the profile's "Endpoints" section; unknown keys are skipped.
void LoadRegistryEndpoints(const std::string& profile, EndpointTable& table);

}  // namespace wharfling::win32
