#include "server/thumbnailer/confinement.h"

#include <malloc.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#if defined(__SANITIZE_ADDRESS__)
#define THUMBNAILER_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define THUMBNAILER_UNDER_ASAN 1
#endif
#endif

namespace wharfling::server {
namespace {

// Lowers a limit to `soft` (and its hard limit to `hard`), never raising one the parent set lower.
bool Lower(int resource, const char* name, rlim_t soft, rlim_t hard, std::string& why) {
  rlimit limit{};
  if (::getrlimit(resource, &limit) == 0) {
    hard = std::min(hard, limit.rlim_max);
    soft = std::min(soft, hard);
  }
  limit.rlim_cur = soft;
  limit.rlim_max = hard;
  if (::setrlimit(resource, &limit) == 0) return true;
  why = std::string("cannot limit ") + name + ": " + strerrordesc_np(errno);
  return false;
}

}  // namespace

bool ConfineThumbnailer(std::string& why) {
  // Whatever the parent let through by mistake is not this process's to use.
  if (::close_range(STDERR_FILENO + 1, ~0U, 0) != 0) {
    why = std::string("cannot close the inherited descriptors: ") + strerrordesc_np(errno);
    return false;
  }
  // A server that dies takes its helpers along rather than leaving them to their CPU limit.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
  // Each malloc arena reserves address space; two are plenty for the few threads libvips runs.
  ::mallopt(M_ARENA_MAX, 2);
#ifndef THUMBNAILER_UNDER_ASAN
  if (!Lower(RLIMIT_AS, "the address space", kThumbnailerAddressSpace, kThumbnailerAddressSpace, why))
    return false;
#endif
  // SIGXCPU at the soft limit, SIGKILL a second later should it be caught.
  return Lower(RLIMIT_CPU, "the CPU time", kThumbnailerCpuSeconds, kThumbnailerCpuSeconds + 1, why) &&
         Lower(RLIMIT_CORE, "core files", 0, 0, why) &&
         Lower(RLIMIT_FSIZE, "file sizes", kThumbnailerFileSize, kThumbnailerFileSize, why);
}

}  // namespace wharfling::server
