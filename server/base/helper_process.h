#pragma once
// Runs a helper program on one open file and takes back what it writes, bounded in time and in
// size: every run ends, its child is reaped on every path, and of this process's descriptors the
// child gets the file and its two pipes alone (the rest are close-on-exec).

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace wharfling::server {

struct HelperLimits {
  std::chrono::milliseconds wallClock{60000};
  std::size_t maxOutput = 4u << 20;  // standard output past this ends the run
  std::size_t keptErrors = 4096;     // the last bytes of standard error kept; the rest is read and dropped
};

struct HelperRun {
  enum class End { kNotStarted, kExited, kSignalled, kTimedOut, kOutputTooLarge };
  End end = End::kNotStarted;
  int code = 0;  // the exit status, the signal, or the errno of a start that failed
  std::string output;
  std::string errors;
};

// For a run that another thread may have to stop: `started` gets the child's pid once it runs and
// `ending` gets it again before it is reaped, so that a pid handed out never names another process.
struct HelperWatch {
  std::function<void(pid_t)> started;
  std::function<void(pid_t)> ending;
};

// Runs `program` with `arguments` (argv[1]...), `input` as its standard input, with every signal
// unblocked and at its default action. A child still running at the wall clock, or writing more
// than maxOutput, is killed (SIGKILL).
HelperRun RunHelper(const std::string& program, const std::vector<std::string>& arguments, int input,
                    const HelperLimits& limits, const HelperWatch& watch = {});

}  // namespace wharfling::server
