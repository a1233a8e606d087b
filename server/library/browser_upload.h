#pragma once
// Receives a browser's upload form: its "csrf" field, then any number of files in its "photos"
// field. Each file goes through its own UploadReceiver (the same size limit, names and storage as
// the uploader's uploads) and all are published only once the whole body has arrived. A file part
// before a valid CSRF token stops the body at once: nothing is written for a forged form.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/library/upload_receiver.h"

namespace wharfling::server {

inline constexpr std::string_view kBrowserFileField = "photos";
inline constexpr std::string_view kCsrfField = "csrf";
// Files one form may bring; further ones are left out.
inline constexpr int kMaxBrowserFiles = 20;

class BrowserUploadReceiver {
 public:
  using CsrfCheck = std::function<bool(std::string_view token)>;

  // Each file is recorded in `library` and holds its own room under `quota`.
  BrowserUploadReceiver(const UploadStore& store, std::string folderName, std::uint64_t maxFileSize,
                        state::LibraryState* library, std::optional<std::uint64_t> quota,
                        CsrfCheck csrfCheck);
  ~BrowserUploadReceiver();

  bool BeginPart(std::string_view name, std::string_view fileName);
  bool Append(const char* data, std::size_t size);

  struct Result {
    bool csrfOk = false;
    std::vector<UploadOutcome> files;  // in the form's order; empty when csrfOk is false
    int leftOut = 0;                   // files past kMaxBrowserFiles
  };
  Result Finish(bool complete);

 private:
  void EndPart();

  const UploadStore& store_;
  const std::string folderName_;
  const std::uint64_t maxFileSize_;
  state::LibraryState* const library_;
  const std::optional<std::uint64_t> quota_;
  const CsrfCheck csrfCheck_;
  std::vector<std::unique_ptr<UploadReceiver>> receivers_;
  UploadReceiver* current_ = nullptr;
  bool inCsrf_ = false;
  std::string csrf_;
  bool csrfOk_ = false;
  int leftOut_ = 0;
};

}  // namespace wharfling::server
