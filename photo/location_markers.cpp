#include "photo/location_markers.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "session/jpeg_signature.h"

namespace wharfling {
namespace {

// The GPS directory's entry: tag 0x8825, type LONG (4) or IFD (13), in both byte orders.
const std::array<std::string_view, 5> kMarkers = {
    std::string_view("\x88\x25\x00\x04", 4), std::string_view("\x88\x25\x00\x0D", 4),
    std::string_view("\x25\x88\x04\x00", 4), std::string_view("\x25\x88\x0D\x00", 4), "GPS"};

bool HoldsMarker(std::string_view bytes) {
  for (const auto marker : kMarkers) {
    if (bytes.find(marker) != std::string_view::npos) return true;
  }
  return false;
}

// The payloads of the segments before the start of scan; nothing when the walk goes astray.
std::optional<std::vector<std::string_view>> MetadataSegments(std::string_view jpeg) {
  std::vector<std::string_view> segments;
  std::size_t at = 2;  // after the start-of-image marker
  while (at + 4 <= jpeg.size()) {
    if (static_cast<unsigned char>(jpeg[at]) != 0xFF) return std::nullopt;
    const auto kind = static_cast<unsigned char>(jpeg[at + 1]);
    if (kind == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (kind == 0xDA) return segments;  // start of scan: image data follows
    const std::size_t length =
        (static_cast<unsigned char>(jpeg[at + 2]) << 8) | static_cast<unsigned char>(jpeg[at + 3]);
    if (length < 2 || at + 2 + length > jpeg.size()) return std::nullopt;
    segments.push_back(jpeg.substr(at + 4, length - 2));
    at += 2 + length;
  }
  return std::nullopt;
}

}  // namespace

bool HoldsLocationMarker(std::string_view bytes) {
  if (HasJpegSignature(bytes)) {
    if (const auto segments = MetadataSegments(bytes)) {
      for (const auto segment : *segments) {
        if (HoldsMarker(segment)) return true;
      }
      return false;
    }
  }
  return HoldsMarker(bytes);
}

}  // namespace wharfling
