#pragma once
// A program started without a shell, so that a test can signal it while it runs, with its output
// collected in files.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"

namespace wharfling::testing {

class StartedCommand {
 public:
  // environment: "NAME=value" entries added to the test's own; arguments follow the program; input
  // is its standard input (empty: /dev/null).
  StartedCommand(const std::vector<std::string>& environment, const std::string& program,
                 const std::vector<std::string>& arguments, const std::string& input = "");
  ~StartedCommand();  // kills it when still running
  StartedCommand(const StartedCommand&) = delete;
  StartedCommand& operator=(const StartedCommand&) = delete;

  pid_t pid() const { return pid_; }
  // Wait until its standard error (output) holds text; false when it ends or the time-out passes first.
  bool WaitForError(std::string_view text, std::chrono::seconds timeout = std::chrono::seconds(30));
  bool WaitForOutput(std::string_view text, std::chrono::seconds timeout = std::chrono::seconds(30));
  // What it wrote so far.
  std::string Output() const { return Read("out"); }
  std::string Errors() const { return Read("err"); }
  void Signal(int signal) const;
  // Whether it runs no longer (or never started), collecting its status without blocking.
  bool Ended();

  struct End {
    int status = -1;  // exit status, -1 when it was killed
    int signal = 0;   // the signal that killed it, 0 when it exited
    std::string out;
    std::string err;
  };
  End Wait();

 private:
  std::string Read(const char* name) const;
  bool WaitFor(const char* name, std::string_view text, std::chrono::seconds timeout);

  TempDir dir_;
  pid_t pid_ = -1;
  std::optional<int> waitStatus_;  // once collected
};

}  // namespace wharfling::testing
