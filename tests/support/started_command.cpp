#include "tests/support/started_command.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace wharfling::testing {

StartedCommand::StartedCommand(const std::vector<std::string>& environment, const std::string& program,
                               const std::vector<std::string>& arguments, const std::string& input) {
  // Everything the child needs is made before fork: a threaded test may only exec after it.
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
  env.insert(env.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (auto& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string inPath = input.empty() ? "/dev/null" : dir_.WriteFile("in", input);
  const std::string outPath = (dir_.path() / "out").string();
  const std::string errPath = (dir_.path() / "err").string();

  pid_ = ::fork();
  if (pid_ != 0) return;
  const int in = ::open(inPath.c_str(), O_RDONLY);
  const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || out < 0 || err < 0) ::_exit(127);
  ::dup2(in, STDIN_FILENO);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(err, STDERR_FILENO);
  ::signal(SIGINT, SIG_DFL);  // as from a terminal, even when the test runs in the background
  ::execve(program.c_str(), argv.data(), envp.data());
  ::_exit(127);
}

StartedCommand::~StartedCommand() {
  if (pid_ <= 0 || Ended()) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

std::string StartedCommand::Read(const char* name) const {
  std::ifstream in(dir_.path() / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool StartedCommand::Ended() {
  if (waitStatus_ || pid_ <= 0) return true;  // collected, or never started
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
  waitStatus_ = status;
  return true;
}

bool StartedCommand::WaitFor(const char* name, std::string_view text, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Read(name).find(text) == std::string::npos) {
    // Once it has ended, its files are whole: one more look decides.
    if (Ended()) return Read(name).find(text) != std::string::npos;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool StartedCommand::WaitForError(std::string_view text, std::chrono::seconds timeout) {
  return WaitFor("err", text, timeout);
}

bool StartedCommand::WaitForOutput(std::string_view text, std::chrono::seconds timeout) {
  return WaitFor("out", text, timeout);
}

void StartedCommand::Signal(int signal) const {
  if (pid_ > 0 && !waitStatus_) ::kill(pid_, signal);
}

StartedCommand::End StartedCommand::Wait() {
  int status = 0;
  if (!waitStatus_ && pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) waitStatus_ = status;
  End end;
  if (waitStatus_) {
    if (WIFEXITED(*waitStatus_)) end.status = WEXITSTATUS(*waitStatus_);
    if (WIFSIGNALED(*waitStatus_)) end.signal = WTERMSIG(*waitStatus_);
  }
  pid_ = -1;
  waitStatus_.reset();
  end.out = Read("out");
  end.err = Read("err");
  return end;
}

}  // namespace wharfling::testing
