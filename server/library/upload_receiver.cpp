#include "server/library/upload_receiver.h"

#include "server/library/client_file_name.h"
#include "text/text.h"

namespace wharfling::server {

UploadReceiver::UploadReceiver(const UploadStore& store, std::string folderName, std::uint64_t maxFileSize,
                               FileField field, std::optional<std::uint64_t> room)
    : store_(store),
      folderName_(std::move(folderName)),
      maxFileSize_(maxFileSize),
      field_(field),
      room_(room) {}

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
  if (inFile_ && room_ && pending_->size() + size > *room_) {
    Refuse(Refusal::kQuota);
    return false;
  }
  // Whatever is dropped is still bounded, so that no body keeps the server reading for ever.
  if (bodyBytes_ > maxFileSize_ + kEnvelopeAllowance) {
    Refuse(Refusal::kTooLarge);
    return false;
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
    return {refusal_, {}, 0, detail_};
  }
  const std::uint64_t size = pending_->size();
  auto published = pending_->Publish(storedName_, detail_);
  pending_.reset();
  if (!published) return {Refusal::kStorage, {}, 0, detail_};
  return {std::nullopt, std::move(*published), size, {}};
}

}  // namespace wharfling::server
