#pragma once
// The search for the largest re-encoding of a photo within a byte limit: lower quality first, down to
// a floor, then smaller dimensions at that floor.

#include <cstddef>
#include <optional>
#include <string>

#include "photo/photo_preparer.h"

namespace wharfling {

inline constexpr int kTopQuality = 95;
inline constexpr int kQualityFloor = 60;
inline constexpr int kSmallestLongSide = 16;

// Nothing when not even the smallest photo at the floor fits (its metadata alone may not).
std::optional<std::string> ShrinkToLimit(DecodedPhoto& photo, std::size_t maxBytes);

}  // namespace wharfling
