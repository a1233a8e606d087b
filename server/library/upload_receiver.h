#pragma once
// Receives the parts of one upload body as they stream in: the file field goes straight to a
// temporary file, and the file is published only when the whole body has arrived intact. A body
// that is cut off, broken or over the limit leaves nothing behind. With a library state, room under
// the quota is held before each write and the photo's record written as it is published: a file
// whose record cannot be written is removed again and the upload refused.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "server/library/refusals.h"
#include "server/library/upload_store.h"
#include "server/state/upload_room.h"

namespace wharfling::server {

inline constexpr std::string_view kFileFieldName = "DataFile";
// What the parts other than the file may add to a body: the uploader's four empty text fields
// and the part headers take a few hundred bytes.
inline constexpr std::uint64_t kEnvelopeAllowance = 64 * 1024;
inline constexpr int kMaxParts = 64;

struct UploadOutcome {
  std::optional<Refusal> refusal;  // none: stored
  std::string storedName;          // UTF-8 name on disk
  std::string id;                  // the photo's id, when recorded
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
  // library: where the photo is recorded and its room under `quota` held (none: the file only).
  UploadReceiver(const UploadStore& store, std::string folderName, std::uint64_t maxFileSize,
                 FileField field = {}, state::LibraryState* library = nullptr,
                 std::optional<std::uint64_t> quota = std::nullopt);

  // A part begins; fileName is the filename of its Content-Disposition (empty for a text part).
  // False means: stop reading the body.
  bool BeginPart(std::string_view name, std::string_view fileName);
  // Bytes of the current part. False means: stop reading the body.
  bool Append(const char* data, std::size_t size);
  // The body has ended; `complete` says whether it arrived whole and well formed.
  UploadOutcome Finish(bool complete);

 private:
  void Refuse(Refusal refusal);
  bool Covered(std::uint64_t total);
  UploadOutcome Record(std::string storedName, std::uint64_t size);

  const UploadStore& store_;
  const std::string folderName_;
  const std::uint64_t maxFileSize_;
  const FileField field_;
  std::optional<state::UploadRoom> room_;
  std::string firstBytes_;  // what the content type is told from
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
