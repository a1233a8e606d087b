#include "tests/support/server_process.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace wharfling::testing {

ServerProcess::ServerProcess(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& input)
    : command_({}, program, arguments, input) {}

ServerProcess::~ServerProcess() {
  if (running_) Stop();
}

std::string ServerProcess::ReadyLine() {
  if (!command_.WaitForOutput("\n")) return {};
  const std::string out = command_.Output();
  const std::string line = out.substr(0, out.find('\n'));
  return line.starts_with("listening on ") ? line : std::string();
}

int ServerProcess::port() {
  if (port_ == 0) {
    const std::string line = ReadyLine();
    const auto colon = line.rfind(':');
    port_ = colon == std::string::npos ? -1 : std::atoi(line.c_str() + colon + 1);
  }
  return port_;
}

StartedCommand::End ServerProcess::Stop(int signal) {
  Signal(signal);
  // A server that does not stop is killed, and its end says so: the test goes on either way.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!command_.Ended() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!command_.Ended()) command_.Signal(SIGKILL);
  return Wait();
}

}  // namespace wharfling::testing
