#pragma once
// The client behind a trusted reverse proxy: the proxy appends the address it took the connection
// from to X-Forwarded-For, so only that last hop is the proxy's word; anything before it is the
// client's own claim.

#include <string>
#include <string_view>

#include "server/engine/http_exchange.h"

namespace wharfling::server {

// An IP address as the engine writes a client's ("192.0.2.7", "2001:db8::1"); an IPv4-mapped IPv6
// address in its IPv4 form. Empty when the text is not an IP address.
std::string CanonicalAddress(std::string_view text);

// The last element of the last X-Forwarded-For field, in canonical form; empty when there is none
// or it is not an IP address.
std::string LastForwardedHop(const Fields& headers);

}  // namespace wharfling::server
