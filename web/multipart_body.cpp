#include "web/multipart_body.h"

namespace wharfling {

void MultipartBody::AddDelimiterAndName(std::string_view name) {
  partBuffer_ += kDashPrefix;
  partBuffer_ += kBoundaryToken;
  partBuffer_ += "\r\nContent-Disposition: form-data; name=\"";
  partBuffer_ += name;
}

void MultipartBody::AddTextPart(std::string_view name, std::string_view value) {
  AddDelimiterAndName(name);
  partBuffer_ += "\"\r\n\r\n";
  partBuffer_ += value;
  partBuffer_ += "\r\n";
}

void MultipartBody::AddFilePart(std::string_view name, std::string_view fileName) {
  AddTypedFilePart(name, fileName, "application/octet-stream");
}

void MultipartBody::AddTypedFilePart(std::string_view name, std::string_view fileName,
                                     std::string_view contentType) {
  AddDelimiterAndName(name);
  partBuffer_ += "\"; filename=\"";
  partBuffer_ += fileName;
  partBuffer_ += "\"\r\nContent-Type: ";
  partBuffer_ += contentType;
  partBuffer_ += "\r\n\r\n";
}

void MultipartBody::FlushPart() {
  body_ += partBuffer_;
  partBuffer_.clear();
}

void MultipartBody::AddFileContent(std::string_view bytes) {
  FlushPart();
  body_ += bytes;
  body_ += "\r\n";
}

bool MultipartBody::AddFileContent(std::size_t size, const std::function<bool(std::span<char>)>& fill) {
  FlushPart();
  const std::size_t start = body_.size();
  body_.resize(start + size);
  if (!fill(std::span<char>(body_.data() + start, size))) {
    body_.resize(start);
    return false;
  }
  body_ += "\r\n";
  return true;
}

void MultipartBody::Close() {
  FlushPart();
  body_ += kClosingLine;
}

void MultipartBody::Reserve(std::size_t additional) { body_.reserve(body_.size() + additional); }

}  // namespace wharfling
