#include "apps/wharfling/interrupt_cancel.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace wharfling::cli {
namespace {

std::atomic<CancelRequest*> target{nullptr};
struct sigaction earlier {};

constexpr char kNotice[] =
    "cancelling: the file in flight fails, then the run signs out and saves; press Ctrl-C again to quit "
    "at once\n";

// Only async-signal-safe calls here: an atomic store and write(2).
extern "C" void OnInterrupt(int) {
  const int savedErrno = errno;
  if (CancelRequest* request = target.load()) request->Request();
  [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, kNotice, sizeof kNotice - 1);
  errno = savedErrno;
}

}  // namespace

CancelOnInterrupt::CancelOnInterrupt(CancelRequest& request) {
  target.store(&request);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // Once only: the handler gives way to the default disposition, so a second Ctrl-C ends the
  // program. The transfer in flight notices the request within a second; system calls carry on
  // rather than fail with EINTR.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, &earlier);
}

CancelOnInterrupt::~CancelOnInterrupt() {
  sigaction(SIGINT, &earlier, nullptr);
  target.store(nullptr);
}

}  // namespace wharfling::cli
