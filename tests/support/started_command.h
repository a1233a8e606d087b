#pragma once
// A program started without a shell, so that a test can signal it while it runs, with its output
// collected in files.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"

namespace wharfling::testing {

class StartedCommand {
 public:
  // environment: "NAME=value" entries added to the test's own; arguments follow the program.
  StartedCommand(const std::vector<std::string>& environment, const std::string& program,
                 const std::vector<std::string>& arguments);
  ~StartedCommand();  // kills it when still running
  StartedCommand(const StartedCommand&) = delete;
  StartedCommand& operator=(const StartedCommand&) = delete;

  pid_t pid() const { return pid_; }
  // Waits until its standard error holds text; false when it does not come in time.
  bool WaitForError(std::string_view text, std::chrono::seconds timeout = std::chrono::seconds(30)) const;

  struct End {
    int status = -1;  // exit status, -1 when it was killed
    int signal = 0;   // the signal that killed it, 0 when it exited
    std::string out;
    std::string err;
  };
  End Wait();

 private:
  std::string Read(const char* name) const;

  TempDir dir_;
  pid_t pid_ = -1;
};

}  // namespace wharfling::testing
