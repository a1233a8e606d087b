#include "photo/shrink_search.h"

#include <algorithm>
#include <cmath>

namespace wharfling {
namespace {

constexpr int kMaxSideTries = 12;

// The best fitting encoding found so far: the one with the most bytes.
struct Best {
  std::optional<std::string> bytes;
  void Offer(std::string candidate) {
    if (!bytes || candidate.size() > bytes->size()) bytes = std::move(candidate);
  }
};

// The highest quality between low and high (inclusive) whose full-size encoding fits. Sizes grow
// with quality, so a bisection finds it.
void SearchQuality(DecodedPhoto& photo, std::size_t maxBytes, int low, int high, Best& best,
                   std::size_t& floorSize) {
  while (low <= high) {
    const int quality = low + (high - low + 1) / 2;
    const auto encoded = photo.Encode(quality, photo.longSide());
    if (!encoded) return;
    if (quality == kQualityFloor) floorSize = encoded->size();
    if (encoded->size() <= maxBytes) {
      best.Offer(*encoded);
      low = quality + 1;
    } else {
      high = quality - 1;
    }
  }
}

// The longest side (at the quality floor) whose encoding fits, between a side known to fit (or the
// smallest) and one known not to. Bytes grow about with the pixel count, so each guess scales the
// side by the square root of the ratio to the limit before narrowing.
void SearchSide(DecodedPhoto& photo, std::size_t maxBytes, std::size_t tooLargeBytes, Best& best) {
  if (photo.longSide() <= kSmallestLongSide) return;
  int fits = 0;
  int tooLarge = photo.longSide();
  double bytesAtTooLarge = static_cast<double>(tooLargeBytes);
  for (int tries = 0; tries < kMaxSideTries && tooLarge - fits > std::max(8, tooLarge / 50); ++tries) {
    int side =
        fits == 0
            ? static_cast<int>(tooLarge * std::sqrt(static_cast<double>(maxBytes) / bytesAtTooLarge) * 0.97)
            : fits + (tooLarge - fits) / 2;
    side = std::clamp(side, std::max(fits + 1, kSmallestLongSide), tooLarge - 1);
    const auto encoded = photo.Encode(kQualityFloor, side);
    if (!encoded) return;
    if (encoded->size() <= maxBytes) {
      fits = side;
      best.Offer(*encoded);
    } else {
      tooLarge = side;
      bytesAtTooLarge = static_cast<double>(encoded->size());
      if (side == kSmallestLongSide) return;
    }
  }
}

}  // namespace

std::optional<std::string> ShrinkToLimit(DecodedPhoto& photo, std::size_t maxBytes) {
  Best best;
  std::size_t floorSize = 0;
  SearchQuality(photo, maxBytes, kQualityFloor, kTopQuality, best, floorSize);
  if (best.bytes) return best.bytes;
  if (floorSize == 0) return std::nullopt;  // the encoder failed
  SearchSide(photo, maxBytes, floorSize, best);
  return best.bytes;
}

}  // namespace wharfling
