#pragma once
// The site drivers, and the table that picks a destination's.

#include <cstdint>

#include "sites/driver_context.h"

namespace wharfling {

// One driver per site; each runs one whole upload of the dialog's list.
void UploadToParvault(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);
void UploadToZorg(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);
void UploadToHatenaFotolife(DriverContext& context, const Text& siteUrl, const Text& id,
                            const Text& password);
void UploadToMixi(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);
void UploadToSnapfish(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);
void UploadToMyPicturetown(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);
void UploadToFueru(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);
void UploadToRakutenPhoto(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);
void UploadToPicMate(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);
void UploadToCreativePeople(DriverContext& context, const Text& siteUrl, const Text& id,
                            const Text& password);
void UploadToPhotohito(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);
void UploadToOlio(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);
void UploadToIiiro(DriverContext& context, const Text& siteUrl, const Text& id, const Text& password);

// The driver of a destination: 2 to 14 their own, every other index Parvault's. Never null.
SiteDriver DriverFor(std::int32_t destination);

}  // namespace wharfling
