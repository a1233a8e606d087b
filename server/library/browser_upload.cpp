#include "server/library/browser_upload.h"

#include "text/text.h"

namespace wharfling::server {
namespace {

constexpr std::size_t kMaxCsrfBytes = 128;

}  // namespace

BrowserUploadReceiver::BrowserUploadReceiver(const UploadStore& store, std::string folderName,
                                             std::uint64_t maxFileSize, state::LibraryState* library,
                                             std::optional<std::uint64_t> quota, CsrfCheck csrfCheck)
    : store_(store),
      folderName_(std::move(folderName)),
      maxFileSize_(maxFileSize),
      library_(library),
      quota_(quota),
      csrfCheck_(std::move(csrfCheck)) {}

BrowserUploadReceiver::~BrowserUploadReceiver() = default;

void BrowserUploadReceiver::EndPart() {
  if (inCsrf_) csrfOk_ = csrfCheck_(csrf_);
  inCsrf_ = false;
  current_ = nullptr;
}

bool BrowserUploadReceiver::BeginPart(std::string_view name, std::string_view fileName) {
  EndPart();
  if (EqualsIgnoreCase(name, kCsrfField) && fileName.empty()) {
    inCsrf_ = true;
    csrf_.clear();
    return true;
  }
  if (!EqualsIgnoreCase(name, kBrowserFileField)) return true;  // read and dropped
  if (!csrfOk_) return false;
  if (fileName.empty()) return true;  // the field left empty
  if (static_cast<int>(receivers_.size()) >= kMaxBrowserFiles) {
    ++leftOut_;
    return true;
  }
  receivers_.push_back(std::make_unique<UploadReceiver>(
      store_, folderName_, maxFileSize_, FileField{kBrowserFileField, true}, library_, quota_));
  current_ = receivers_.back().get();
  return current_->BeginPart(name, fileName);
}

bool BrowserUploadReceiver::Append(const char* data, std::size_t size) {
  if (inCsrf_) {
    csrf_.append(data, size);
    return csrf_.size() <= kMaxCsrfBytes;
  }
  if (current_ == nullptr) return true;
  // A file over the limit or the room is refused on its own; the rest of the form is still read.
  if (!current_->Append(data, size)) current_ = nullptr;
  return true;
}

BrowserUploadReceiver::Result BrowserUploadReceiver::Finish(bool complete) {
  EndPart();
  Result result;
  result.csrfOk = csrfOk_;
  result.leftOut = leftOut_;
  for (auto& receiver : receivers_) {
    UploadOutcome outcome = receiver->Finish(complete && csrfOk_);
    if (csrfOk_) result.files.push_back(std::move(outcome));
  }
  return result;
}

}  // namespace wharfling::server
