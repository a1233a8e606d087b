#pragma once
// Splitting a request URL into parts of bounded length (the capacities below), and the request
// target that results.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace wharfling {

// Capacities of the split parts, each counting a terminating zero: a part must be shorter.
inline constexpr std::size_t kUrlSchemeCapacity = 256;
inline constexpr std::size_t kUrlHostCapacity = 256;
inline constexpr std::size_t kUrlUserCapacity = 256;
inline constexpr std::size_t kUrlPasswordCapacity = 256;
inline constexpr std::size_t kUrlPathCapacity = 256;
inline constexpr std::size_t kUrlExtraCapacity = 1024;

struct UrlParts {
  Text scheme;  // "http" or "https", lower case
  Text host;
  std::uint16_t port = 0;  // the explicit port, else the scheme's default
  Text path;               // percent-decoded; "/" when the URL has none
  Text extra;              // the query with its leading "?", percent-decoded; may be empty

  // What the request line names: the path immediately followed by the query.
  Text Target() const { return path + extra; }
};

// Nothing when the URL is not an absolute http or https URL, a part does not fit its capacity
// (measured as written in the URL), or the port is not a number from 1 to 65535. A user name or
// password in the URL is accepted and dropped; a fragment is dropped, as browsers never send one.
std::optional<UrlParts> SplitUrl(std::string_view url);

// Turns each "%" followed by two hexadecimal digits into the byte it names; anything else is kept.
Text PercentDecode(std::string_view text);

// The request target as it can stand in a request line: space, control bytes and DEL percent-encoded,
// every other byte (CP932 double-byte characters included) as it is.
std::string EscapeRequestTarget(std::string_view target);

}  // namespace wharfling
