#include "server/state/library_copy.h"

#include <vector>

namespace wharfling::server::state {
namespace {

constexpr std::size_t kBatch = 2000;

bool Same(const PhotoEntry& a, const PhotoEntry& b) {
  return a.id == b.id && a.account == b.account && a.storedName == b.storedName && a.size == b.size &&
         a.uploadedMs == b.uploadedMs && a.contentType == b.contentType && a.thumbnail == b.thumbnail;
}

// Whether both hold the same records in the same order (sessions may have been used since).
bool SameRecords(LibraryState& from, LibraryState& to, std::string& error) {
  std::int64_t fromAfter = 0, toAfter = 0;
  std::vector<PhotoEntry> ours, theirs;
  for (;;) {
    if (from.ExportPhotos(fromAfter, kBatch, ours) != Outcome::kDone ||
        to.ExportPhotos(toAfter, kBatch, theirs) != Outcome::kDone) {
      error = "cannot read the records to compare them";
      return false;
    }
    if (ours.size() != theirs.size()) return false;
    for (std::size_t i = 0; i < ours.size(); ++i) {
      if (!Same(ours[i], theirs[i])) return false;
    }
    if (ours.empty()) return true;
  }
}

}  // namespace

bool CopyLibraryState(LibraryState& from, LibraryState& to, CopySummary& summary, std::string& error) {
  summary = {};
  LibraryExtras source, target;
  std::int64_t after = 0;
  std::vector<PhotoEntry> batch;
  if (from.ExportExtras(source) != Outcome::kDone) {
    error = "cannot read the library to copy";
    return false;
  }
  if (to.ExportExtras(target) != Outcome::kDone || to.ExportPhotos(after, 1, batch) != Outcome::kDone) {
    error = "cannot read the target database";
    return false;
  }
  if (!batch.empty() || !target.csrfKey.empty() || !target.sessions.empty() || !target.takenOver.empty()) {
    if (target.csrfKey == source.csrfKey && target.takenOver == source.takenOver &&
        SameRecords(from, to, error)) {
      summary.alreadyThere = true;
      return true;
    }
    if (error.empty()) {
      error = "the target database already holds another library; copy into an empty one";
    }
    return false;
  }
  after = 0;
  for (;;) {
    if (from.ExportPhotos(after, kBatch, batch) != Outcome::kDone) {
      error = "cannot read the records to copy";
      return false;
    }
    if (batch.empty()) break;
    if (to.ImportPhotos(batch) != Outcome::kDone) {
      error = "cannot write the copied records";
      return false;
    }
    summary.photos += batch.size();
  }
  if (to.ImportExtras(source) != Outcome::kDone) {
    error = "cannot write the copied sessions and key";
    return false;
  }
  summary.sessions = source.sessions.size();
  return true;
}

}  // namespace wharfling::server::state
