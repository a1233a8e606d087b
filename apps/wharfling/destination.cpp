#include "apps/wharfling/destination.h"

#include "platform/posix/encoding.h"
#include "session/site_catalogue.h"
#include "web/url_parts.h"

namespace wharfling::cli {

Destination DestinationOf(const DialogSettings& settings) {
  const SiteInfo& row = CatalogueRow(settings.siteIndex);
  Destination destination{row.index, posix::Cp932ToUtf8(row.caption), ""};
  if (const auto parts = SplitUrl(settings.account.url)) {
    const std::uint16_t defaultPort = parts->scheme == "https" ? 443 : 80;
    destination.host = posix::Cp932ToUtf8(parts->host);
    if (parts->port != defaultPort) destination.host += ":" + std::to_string(parts->port);
  } else {
    destination.host = posix::Cp932ToUtf8(settings.account.url);  // not a URL the drivers can use either
  }
  return destination;
}

}  // namespace wharfling::cli
