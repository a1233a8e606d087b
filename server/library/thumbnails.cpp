#include "server/library/thumbnails.h"

#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <semaphore>
#include <string_view>
#include <vector>

#include "server/base/helper_process.h"
#include "server/thumbnailer/exit_codes.h"

namespace wharfling::server {
namespace {

// Two pictures at once keep a shared machine responsive.
constexpr int kHelpersAtOnce = 2;
std::counting_semaphore<kHelpersAtOnce> g_makers(kHelpersAtOnce);
// A thumbnail is a few kilobytes: a helper writing more than this is not making one.
constexpr std::size_t kMaxThumbnailBytes = 4u << 20;

constexpr std::string_view kThumbnailerName = "parvault-thumbnailer";
// Where an installation keeps the helper, from the folder of the server's program.
constexpr std::string_view kInstalledThumbnailer = WHARFLING_THUMBNAILER_FROM_BINDIR;

// The helper $PARVAULT_THUMBNAILER names, if it names one.
const char* NamedThumbnailer() {
  const char* named = std::getenv("PARVAULT_THUMBNAILER");
  return named != nullptr && *named != '\0' ? named : nullptr;
}

bool IsExecutable(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::string ErrorText(int error) {
  const char* text = strerrordesc_np(error);
  return text != nullptr ? text : "error " + std::to_string(error);
}

// The helper's reason: its last line on standard error (libvips may warn before it).
std::string LastLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const std::size_t newline = text.rfind('\n');
  return newline == std::string::npos ? text : text.substr(newline + 1);
}

// Helper failures that are not the picture's are logged, the same one once a minute at most: a
// server without its helper would otherwise log every tile of every page.
void LogHelperFailure(const std::string& why) {
  static std::mutex mutex;
  static std::string last;
  static std::chrono::steady_clock::time_point lastAt;
  std::lock_guard lock(mutex);
  const auto now = std::chrono::steady_clock::now();
  if (why == last && now - lastAt < std::chrono::minutes(1)) return;
  last = why;
  lastAt = now;
  std::fprintf(stderr, "parvault-server: thumbnail not made (tried again at its next view): %s\n",
               why.c_str());
}

struct Verdict {
  std::optional<std::string> thumbnail;
  std::string why;
  bool pictureAtFault = false;
};

Verdict Judge(const HelperRun& run, const std::string& program, const HelperLimits& limits) {
  Verdict verdict;
  using End = HelperRun::End;
  switch (run.end) {
    case End::kNotStarted:
      verdict.why = "cannot start " + program + ": " + ErrorText(run.code);
      break;
    case End::kTimedOut:
      verdict.why = "the thumbnailer took longer than " + std::to_string(limits.wallClock.count()) + " ms";
      break;
    case End::kOutputTooLarge:
      verdict.why = "the thumbnailer wrote more than " + std::to_string(limits.maxOutput) + " bytes";
      break;
    case End::kSignalled: {
      // Ended by its own limits (CPU time, memory) or a crash in a decoder: the picture did that.
      const char* name = sigdescr_np(run.code);
      verdict.why = "the thumbnailer was ended by signal " + std::to_string(run.code) + " (" +
                    (name != nullptr ? name : "unknown") + ")";
      verdict.pictureAtFault = true;
      break;
    }
    case End::kExited:
      if (run.code == kThumbnailMade) {
        if (run.output.starts_with("\xFF\xD8\xFF")) verdict.thumbnail = run.output;
        verdict.why = "the thumbnailer wrote no JPEG";
        break;
      }
      verdict.pictureAtFault = run.code == kPictureUnreadable;
      verdict.why = LastLine(run.errors);
      if (verdict.why.empty()) verdict.why = "the thumbnailer failed with status " + std::to_string(run.code);
      break;
  }
  return verdict;
}

}  // namespace

std::optional<std::string> FindThumbnailer() {
  if (const char* named = NamedThumbnailer()) {
    return IsExecutable(named) ? std::optional<std::string>(named) : std::nullopt;
  }
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::nullopt;
  for (const auto& candidate : {self.parent_path() / kThumbnailerName,
                                (self.parent_path() / kInstalledThumbnailer).lexically_normal()}) {
    if (IsExecutable(candidate)) return candidate.string();
  }
  return std::nullopt;
}

std::string ThumbnailerNotFound() {
  if (const char* named = NamedThumbnailer()) {
    return "PARVAULT_THUMBNAILER names no executable file: " + std::string(named);
  }
  return "no " + std::string(kThumbnailerName) + " beside the program or at " +
         std::string(kInstalledThumbnailer) + " from it";
}

ThumbnailWork::ThumbnailWork(std::string program, std::chrono::milliseconds wallClock)
    : program_(std::move(program)), wallClock_(wallClock) {}

std::optional<std::string> ThumbnailWork::program() const {
  if (program_.empty()) return FindThumbnailer();
  return program_;
}

void ThumbnailWork::Cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  for (const pid_t helper : helpers_) ::kill(helper, SIGKILL);
}

bool ThumbnailWork::cancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

void ThumbnailWork::Track(pid_t helper) {
  std::lock_guard lock(mutex_);
  helpers_.insert(helper);
  if (cancelled_) ::kill(helper, SIGKILL);
}

void ThumbnailWork::Untrack(pid_t helper) {
  std::lock_guard lock(mutex_);
  helpers_.erase(helper);
}

std::optional<std::string> MakeThumbnail(int fd, int size, std::string& why, ThumbnailWork* work,
                                         bool* pictureAtFault) {
  static ThumbnailWork unshared;
  ThumbnailWork& runs = work != nullptr ? *work : unshared;
  if (pictureAtFault != nullptr) *pictureAtFault = false;
  const auto program = runs.program();
  if (!program) {
    why = ThumbnailerNotFound();
    LogHelperFailure(why);
    return std::nullopt;
  }
  while (!g_makers.try_acquire_for(std::chrono::milliseconds(50))) {
    if (runs.cancelled()) {
      why = "cancelled";
      return std::nullopt;
    }
  }
  struct Release {
    ~Release() { g_makers.release(); }
  } release;
  // The helper reads the photo from its standard input, which shares this descriptor's offset.
  if (::lseek(fd, 0, SEEK_SET) != 0) {
    why = "cannot rewind the photo: " + ErrorText(errno);
    return std::nullopt;
  }
  HelperLimits limits;
  limits.wallClock = runs.wallClock();
  limits.maxOutput = kMaxThumbnailBytes;
  const HelperRun run =
      runs.cancelled()
          ? HelperRun{}
          : RunHelper(*program, {"--size", std::to_string(size)}, fd, limits,
                      {[&runs](pid_t pid) { runs.Track(pid); }, [&runs](pid_t pid) { runs.Untrack(pid); }});
  if (runs.cancelled()) {
    why = "cancelled";
    return std::nullopt;
  }
  const Verdict verdict = Judge(run, *program, limits);
  if (verdict.thumbnail) return verdict.thumbnail;
  why = verdict.why;
  if (pictureAtFault != nullptr) *pictureAtFault = verdict.pictureAtFault;
  if (!verdict.pictureAtFault) LogHelperFailure(why);
  return std::nullopt;
}

}  // namespace wharfling::server
