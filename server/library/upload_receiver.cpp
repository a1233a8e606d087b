#include "server/library/upload_receiver.h"

#include <unistd.h>

#include "server/library/client_file_name.h"
#include "server/library/content_sniffing.h"
#include "server/library/photo_index.h"
#include "server/state/wall_clock.h"
#include "text/text.h"

namespace wharfling::server {
UploadReceiver::UploadReceiver(const UploadStore& store, std::string folderName, std::uint64_t maxFileSize,
                               FileField field, state::LibraryState* library,
                               std::optional<std::uint64_t> quota)
    : store_(store), folderName_(std::move(folderName)), maxFileSize_(maxFileSize), field_(field) {
  if (library != nullptr) room_.emplace(*library, quota);
}

// Room for `total` bytes of the file is held before they are written.
bool UploadReceiver::Covered(std::uint64_t total) {
  if (!room_) return true;
  const state::Outcome outcome = room_->Cover(total);
  if (outcome == state::Outcome::kDone) return true;
  if (outcome != state::Outcome::kOverQuota) detail_ = "cannot hold room for the upload";
  Refuse(outcome == state::Outcome::kOverQuota ? Refusal::kQuota : Refusal::kStorage);
  return false;
}

// The file is published: its record is written, or the file goes again.
UploadOutcome UploadReceiver::Record(std::string storedName, std::uint64_t size) {
  if (!room_) return {std::nullopt, std::move(storedName), {}, size, {}};
  state::PhotoEntry photo{NewPhotoId(),
                          folderName_,
                          storedName,
                          size,
                          state::NowMs(),
                          std::string(SniffImageType(firstBytes_)),
                          ""};
  const state::Outcome outcome = room_->Publish(photo);
  if (outcome == state::Outcome::kDone) return {std::nullopt, std::move(storedName), photo.id, size, {}};
  // Not shown without a record: the file goes again. Should that fail, the next start records it.
  std::string ignored;
  const UniqueFd folder = store_.OpenFolder(folderName_, false, ignored);
  const bool removed = folder.valid() && ::unlinkat(folder.get(), storedName.c_str(), 0) == 0;
  std::string detail = "cannot record the photo";
  if (!removed) detail += "; its file could not be removed either";
  return {outcome == state::Outcome::kOverQuota ? Refusal::kQuota : Refusal::kStorage, {}, {}, 0, detail};
}

void UploadReceiver::Refuse(Refusal refusal) {
  if (!refusal_) refusal_ = refusal;  // the first problem found is the one reported
  pending_.reset();
  inFile_ = false;
}

bool UploadReceiver::BeginPart(std::string_view name, std::string_view fileName) {
  inFile_ = false;
  if (++parts_ > kMaxParts) {
    Refuse(Refusal::kMalformed);
    return false;
  }
  // Only the first file field counts; anything else is read and dropped.
  if (!EqualsIgnoreCase(name, field_.name) || fileSeen_) return true;
  fileSeen_ = true;
  if (refusal_) return true;
  if (fileName.empty()) {
    Refuse(Refusal::kNoFile);
    return true;
  }
  StoredName stored = field_.utf8Names ? StoredNameForUtf8(fileName) : StoredNameFor(fileName);
  if (stored.problem != NameProblem::kNone) {
    Refuse(stored.problem == NameProblem::kTooLong ? Refusal::kNameTooLong : Refusal::kBadName);
    return true;
  }
  if (room_ && room_->Reserve(folderName_, 0) != state::Outcome::kDone) {
    detail_ = "cannot hold room for the upload";
    Refuse(Refusal::kStorage);
    return true;
  }
  auto created = store_.CreatePending(folderName_, detail_);
  if (!created) {
    Refuse(Refusal::kStorage);
    return true;
  }
  pending_.emplace(std::move(*created));
  storedName_ = std::move(stored.utf8);
  inFile_ = true;
  return true;
}

bool UploadReceiver::Append(const char* data, std::size_t size) {
  bodyBytes_ += size;
  if (inFile_ && pending_->size() + size > maxFileSize_) {
    Refuse(Refusal::kTooLarge);
    return false;
  }
  if (inFile_ && !Covered(pending_->size() + size)) return false;
  // Whatever is dropped is still bounded, so that no body keeps the server reading for ever.
  if (bodyBytes_ > maxFileSize_ + kEnvelopeAllowance) {
    Refuse(Refusal::kTooLarge);
    return false;
  }
  if (inFile_ && firstBytes_.size() < kSniffBytes) {
    firstBytes_.append(data, std::min(size, kSniffBytes - firstBytes_.size()));
  }
  if (inFile_ && !pending_->Write(data, size)) {
    detail_ = "cannot write the temporary file";
    Refuse(Refusal::kStorage);
  }
  return true;
}

UploadOutcome UploadReceiver::Finish(bool complete) {
  inFile_ = false;
  if (!complete) Refuse(Refusal::kMalformed);
  if (!refusal_ && !pending_) Refuse(Refusal::kNoFile);
  if (refusal_) {
    pending_.reset();
    return {refusal_, {}, {}, 0, detail_};
  }
  const std::uint64_t size = pending_->size();
  auto published = pending_->Publish(storedName_, detail_);
  pending_.reset();
  if (!published) return {Refusal::kStorage, {}, {}, 0, detail_};
  return Record(std::move(*published), size);
}

}  // namespace wharfling::server
