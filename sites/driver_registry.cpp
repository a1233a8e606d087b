#include "sites/driver_registry.h"

#include <array>

namespace wharfling {

SiteDriver DriverFor(std::int32_t siteIndex) {
  // Indexed by site index; destinations 1 and 2 share the Parvault driver.
  static constexpr std::array<SiteDriver, 15> kDrivers = {
      nullptr, UploadToParvault, UploadToParvault, nullptr, nullptr, nullptr, nullptr, nullptr,
      nullptr, nullptr,          nullptr,          nullptr, nullptr, nullptr, nullptr,
  };
  if (siteIndex < 2 || siteIndex > 14) return UploadToParvault;
  return kDrivers[static_cast<std::size_t>(siteIndex)];
}

}  // namespace wharfling
