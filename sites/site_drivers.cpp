#include "sites/site_drivers.h"

#include <array>

namespace wharfling {

SiteDriver DriverFor(std::int32_t destination) {
  // Indexed by destination; destinations 1 and 2 share the Parvault driver.
  static constexpr std::array<SiteDriver, 15> kDrivers = {
      nullptr,                 // 0: unused
      UploadToParvault,        // 1
      UploadToParvault,        // 2
      UploadToZorg,            // 3
      UploadToHatenaFotolife,  // 4
      UploadToCreativePeople,  // 5
      UploadToPhotohito,       // 6
      UploadToMixi,            // 7
      UploadToOlio,            // 8
      UploadToIiiro,           // 9
      UploadToMyPicturetown,   // 10
      UploadToFueru,           // 11
      UploadToRakutenPhoto,    // 12
      UploadToPicMate,         // 13
      UploadToSnapfish,        // 14
  };
  if (destination < 2 || destination > 14) return UploadToParvault;
  return kDrivers[static_cast<std::size_t>(destination)];
}

}  // namespace wharfling
