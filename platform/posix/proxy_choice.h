#pragma once
// Which proxy the system settings give a request: the environment's http_proxy, https_proxy,
// all_proxy and no_proxy, read as curl reads them. The choice is made here rather than inside curl so
// that the request target can take the absolute form a proxy needs.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/environment.h"

namespace wharfling::posix {

// The proxy URL for a request to host over the plain (secure false) or secure channel, or empty for a
// direct connection. http uses only the lower-case http_proxy (the upper-case one is not trusted, as in
// curl); https uses https_proxy, then HTTPS_PROXY; both fall back to all_proxy, then ALL_PROXY. A host
// listed in no_proxy (else NO_PROXY) is reached directly. Empty variables count as unset.
std::string ChooseSystemProxy(bool secure, std::string_view host, const EnvironmentLookup& environment);

// no_proxy matching: "*" matches every host; otherwise the comma-separated entries (blanks around them
// ignored, a leading dot dropped) match a host equal to them or ending in "." followed by them,
// ignoring case.
bool NoProxyMatches(std::string_view noProxy, std::string_view host);

}  // namespace wharfling::posix
