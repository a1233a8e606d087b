#include "tests/support/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace wharfling::testing {

int RunInChildProcess(const std::function<int()>& body) {
  std::fflush(nullptr);  // nothing buffered twice
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int status = body();
    std::fflush(nullptr);
    ::_exit(status);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace wharfling::testing
