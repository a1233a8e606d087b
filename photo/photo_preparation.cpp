#include "photo/photo_preparation.h"

#include "photo/location_markers.h"
#include "photo/shrink_search.h"
#include "session/file_bytes.h"
#include "session/jpeg_signature.h"
#include "wharfling/texts.h"

namespace wharfling {
namespace {

PreparedPhoto Refused(std::string_view reason, std::string detail) {
  PreparedPhoto photo;
  photo.failed = true;
  photo.reason = Text(reason);
  photo.detail = std::move(detail);
  return photo;
}

}  // namespace

PreparedPhoto PreparePhoto(PhotoPreparer& preparer, const std::string& path, std::uint64_t size,
                           const PhotoRules& rules) {
  const bool overLimit = rules.fit && size > rules.maxBytes;
  const LocationFinding location = rules.stripLocation ? preparer.FindLocation(path) : LocationFinding::kNone;
  // Most photos need nothing: they go from the file straight into the body.
  if (!overLimit && location == LocationFinding::kNone) return {};

  std::string bytes;
  if (!ReadFileBytes(path, size, &bytes)) return Refused("", "the photo cannot be read");
  if (location != LocationFinding::kNone) {
    std::string why;
    // Metadata that cannot be read is sent as it is only when no GPS marker is anywhere in it.
    if (!preparer.RemoveLocation(bytes, why) && HoldsLocationMarker(bytes)) {
      return Refused(texts::kReasonLocationKept, "the location cannot be removed: " + why);
    }
  }
  if (rules.fit && bytes.size() > rules.maxBytes) {
    if (!HasJpegSignature(bytes)) {
      return Refused(texts::kReasonFitNotJpeg, "over the size limit and not a JPEG, so it cannot be shrunk");
    }
    std::string why;
    const auto decoded = preparer.DecodeJpeg(bytes, why);
    if (!decoded) return Refused(texts::kReasonFitUndecodable, "the JPEG cannot be decoded: " + why);
    auto shrunk = ShrinkToLimit(*decoded, static_cast<std::size_t>(rules.maxBytes));
    if (!shrunk) {
      return Refused(texts::kReasonFitTooLarge,
                     "no encoding fits within " + std::to_string(rules.maxBytes) + " bytes");
    }
    bytes = std::move(*shrunk);
  }
  PreparedPhoto photo;
  photo.bytes = std::move(bytes);
  return photo;
}

}  // namespace wharfling
