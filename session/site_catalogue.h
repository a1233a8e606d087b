#pragma once
// The fourteen destinations: captions, profile value names, default URLs and size limits.

#include <cstdint>
#include <string>
#include <string_view>

#include "session/endpoints.h"
#include "text/text.h"

namespace wharfling {

inline constexpr int kSiteCount = 14;

struct SiteInfo {
  int index;
  std::string_view caption;  // CP932, the destination button's text
  std::string_view idValue;  // profile value names, section "Settings"
  std::string_view passwordValue;
  std::string_view maxSizeValue;
  std::string_view scheme;   // of the default URL
  std::string_view hostKey;  // endpoint whose host the default URL uses
  std::string_view urlPath;  // appended to the default URL after the host
  std::uint32_t defaultMaxSize;
};

// The row a site index selects: 2 to 14 their own, anything else destination 1.
const SiteInfo& CatalogueRow(std::int32_t siteIndex);

// "Uid001", "Type014", ...: the word followed by the row's index as three digits.
std::string NumberedValueName(std::string_view word, int index);

// The default site URL of a row: scheme, endpoint host, path; no trailing slash.
Text DefaultSiteUrl(const SiteInfo& row, const EndpointTable& endpoints);

}  // namespace wharfling
