#include "server/state/upload_room.h"

#include "server/state/wall_clock.h"

namespace wharfling::server::state {
UploadRoom::UploadRoom(LibraryState& state, std::optional<std::uint64_t> quota)
    : state_(state), quota_(quota) {}

UploadRoom::~UploadRoom() {
  if (holding_) state_.Release(reservation_);
}

Outcome UploadRoom::Reserve(std::string_view account, std::uint64_t declaredBytes) {
  if (holding_) return Outcome::kFailed;
  const Outcome outcome = state_.Reserve(account, declaredBytes, quota_, NowMs(), reservation_);
  holding_ = outcome == Outcome::kDone;
  return outcome;
}

Outcome UploadRoom::Cover(std::uint64_t receivedBytes) {
  if (!holding_) return Outcome::kFailed;
  if (receivedBytes <= reservation_.bytes) return Outcome::kDone;
  // A step ahead when it fits, else exactly what has arrived.
  const std::uint64_t stepped = receivedBytes + kGrowStep - receivedBytes % kGrowStep;
  const Outcome outcome = state_.Grow(reservation_, stepped, quota_, NowMs());
  if (outcome != Outcome::kOverQuota) return outcome;
  return state_.Grow(reservation_, receivedBytes, quota_, NowMs());
}

Outcome UploadRoom::Publish(const PhotoEntry& photo) {
  const Outcome covered = Cover(photo.size);
  if (covered != Outcome::kDone) return covered;
  const Outcome outcome = state_.Publish(reservation_, photo);
  if (outcome == Outcome::kDone) holding_ = false;
  return outcome;
}

}  // namespace wharfling::server::state
