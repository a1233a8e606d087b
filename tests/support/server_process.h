#pragma once
// A parvault-server process started with its arguments: the port of its ready line, its output and
// its stop by a signal. Its log goes to a file, so that a busy server never blocks on a full pipe.

#include <csignal>
#include <string>
#include <vector>

#include "tests/support/started_command.h"

namespace wharfling::testing {

class ServerProcess {
 public:
  // program: the parvault-server to run; input: its standard input.
  ServerProcess(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& input = "");
  // Stops it with SIGTERM when it still runs, as Stop does.
  ~ServerProcess();

  // Its ready line ("listening on ADDR:PORT"), waiting for it; "" when the server ends first or says
  // nothing within 30 seconds.
  std::string ReadyLine();
  // The port of the ready line, read once; -1 without one.
  int port();
  void Signal(int signal) const { command_.Signal(signal); }
  // Waits for its end: exit status (-1 when killed by a signal), output and log.
  StartedCommand::End Wait() {
    running_ = false;
    return command_.Wait();
  }
  // Signals it and waits for its end; past 30 seconds it is killed (the end then shows SIGKILL).
  StartedCommand::End Stop(int signal = SIGTERM);
  // What it logged so far.
  std::string Errors() const { return command_.Errors(); }

 private:
  StartedCommand command_;
  bool running_ = true;
  int port_ = 0;  // 0 until the ready line is read
};

}  // namespace wharfling::testing
