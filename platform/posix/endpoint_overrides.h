#pragma once
// Endpoint overrides from an optional INI file: [Endpoints] with one site.role=host[:port] a line.

#include <filesystem>
#include <ostream>

#include "session/endpoints.h"

namespace wharfling::posix {

// Applies the file's entries to table. A missing file changes nothing silently; an unreadable or
// malformed file, an unknown key or an unusable host is reported to errors and skipped. True when
// nothing had to be reported.
bool LoadEndpointOverrides(const std::filesystem::path& file, EndpointTable& table, std::ostream& errors);

}  // namespace wharfling::posix
