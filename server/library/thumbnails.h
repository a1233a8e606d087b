#pragma once
// Thumbnails of stored photos. The server decodes no picture itself: the helper program
// parvault-thumbnailer makes each one from the photo's open descriptor, under limits of memory and
// CPU time, so that a hostile or broken picture costs that one process and never the server.

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace wharfling::server {

// The longer side of a thumbnail, in pixels.
inline constexpr int kThumbnailSize = 320;

// The helper: $PARVAULT_THUMBNAILER when set, else parvault-thumbnailer beside the running program
// (a build tree), else the installed one (in ../libexec/parvault-server/ from the program's folder);
// nothing when none is an executable file.
std::optional<std::string> FindThumbnailer();
// Where FindThumbnailer looked, for a log line when it found nothing.
std::string ThumbnailerNotFound();

// The thumbnails one server is making. Cancel() ends them: those waiting for their turn give up and
// the helpers under way are killed, so that a stopping server is not held by a large picture.
class ThumbnailWork {
 public:
  // The helper FindThumbnailer names at each thumbnail, given a minute of wall-clock time.
  ThumbnailWork() = default;
  // A given helper and wall clock.
  ThumbnailWork(std::string program, std::chrono::milliseconds wallClock);

  void Cancel();
  bool cancelled() const;

  // For MakeThumbnail: the helpers under way, killed on Cancel.
  void Track(pid_t helper);
  void Untrack(pid_t helper);

  std::optional<std::string> program() const;
  std::chrono::milliseconds wallClock() const { return wallClock_; }

 private:
  std::string program_;  // "" : FindThumbnailer's
  std::chrono::milliseconds wallClock_{60000};
  mutable std::mutex mutex_;
  bool cancelled_ = false;
  std::set<pid_t> helpers_;
};

// A JPEG of the picture in the open file `fd`, no side longer than `size`; nothing when the helper
// did not make one (why then says what went wrong) or `work` was cancelled. `pictureAtFault`, when
// given, says whether the picture itself failed (the helper cannot read it, or it took more than
// the helper's limits allow), so that its neutral tile may stand for good; any other failure (no
// helper, a helper that did not finish in time, a stop) may go better another time.
std::optional<std::string> MakeThumbnail(int fd, int size, std::string& why, ThumbnailWork* work = nullptr,
                                         bool* pictureAtFault = nullptr);

}  // namespace wharfling::server
