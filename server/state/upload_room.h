#pragma once
// One upload's hold on its account's room under the quota: taken before the first byte is written,
// grown as bytes arrive, settled to the file's size when the photo is recorded, and given back
// otherwise (also when the upload is dropped half-way). Parallel uploads therefore never store more
// than the quota between them.

#include <cstdint>
#include <optional>
#include <string_view>

#include "server/state/library_state.h"

namespace wharfling::server::state {

class UploadRoom {
 public:
  // Bodies of unknown length are held for in steps of this, so that growing is no write per read.
  static constexpr std::uint64_t kGrowStep = 1024 * 1024;

  UploadRoom(LibraryState& state, std::optional<std::uint64_t> quota);
  ~UploadRoom();
  UploadRoom(const UploadRoom&) = delete;
  UploadRoom& operator=(const UploadRoom&) = delete;

  // Before any byte is written: the body's declared length, or 0 when it has none.
  Outcome Reserve(std::string_view account, std::uint64_t declaredBytes);
  // Bytes received so far; kOverQuota means: stop and refuse the upload.
  Outcome Cover(std::uint64_t receivedBytes);
  // The file is published under photo.storedName: records it and settles the hold. On anything but
  // kDone the caller removes the file and refuses the upload.
  Outcome Publish(const PhotoEntry& photo);

  std::uint64_t held() const { return reservation_.bytes; }

 private:
  LibraryState& state_;
  const std::optional<std::uint64_t> quota_;
  Reservation reservation_;
  bool holding_ = false;
};

}  // namespace wharfling::server::state
