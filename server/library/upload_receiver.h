#pragma once
// Receives the parts of one upload body as they stream in: the file field goes straight to a
// temporary file, and the file is published only when the whole body has arrived intact. A body
// that is cut off, broken or over the limit leaves nothing behind.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "server/library/refusals.h"
#include "server/library/upload_store.h"

namespace wharfling::server {

inline constexpr std::string_view kFileFieldName = "DataFile";
// What the parts other than the file may add to a body: the uploader's four empty text fields
// and the part headers take a few hundred bytes.
inline constexpr std::uint64_t kEnvelopeAllowance = 64 * 1024;
inline constexpr int kMaxParts = 64;

struct UploadOutcome {
  std::optional<Refusal> refusal;  // none: stored
  std::string storedName;          // UTF-8 name on disk
  std::uint64_t size = 0;          // bytes of the file
  std::string detail;              // for the log: why storing failed
};

// Which part carries the file and how its name is written.
struct FileField {
  std::string_view name = kFileFieldName;
  bool utf8Names = false;  // the uploader sends CP932 paths, a browser UTF-8 names
};

class UploadReceiver {
 public:
  // room: the bytes the account may still store (its quota less what it holds), when it has a quota.
  UploadReceiver(const UploadStore& store, std::string folderName, std::uint64_t maxFileSize,
                 FileField field = {}, std::optional<std::uint64_t> room = std::nullopt);

  // A part begins; fileName is the filename of its Content-Disposition (empty for a text part).
  // False means: stop reading the body.
  bool BeginPart(std::string_view name, std::string_view fileName);
  // Bytes of the current part. False means: stop reading the body.
  bool Append(const char* data, std::size_t size);
  // The body has ended; `complete` says whether it arrived whole and well formed.
  UploadOutcome Finish(bool complete);

 private:
  void Refuse(Refusal refusal);

  const UploadStore& store_;
  const std::string folderName_;
  const std::uint64_t maxFileSize_;
  const FileField field_;
  const std::optional<std::uint64_t> room_;
  std::optional<Refusal> refusal_;
  std::optional<PendingFile> pending_;
  std::string storedName_;
  std::string detail_;
  bool fileSeen_ = false;
  bool inFile_ = false;
  int parts_ = 0;
  std::uint64_t bodyBytes_ = 0;
};

}  // namespace wharfling::server
