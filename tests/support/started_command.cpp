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
                               const std::vector<std::string>& arguments) {
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
  const std::string outPath = (dir_.path() / "out").string();
  const std::string errPath = (dir_.path() / "err").string();

  pid_ = ::fork();
  if (pid_ != 0) return;
  const int in = ::open("/dev/null", O_RDONLY);
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
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

std::string StartedCommand::Read(const char* name) const {
  std::ifstream in(dir_.path() / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool StartedCommand::WaitForError(std::string_view text, std::chrono::seconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Read("err").find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

StartedCommand::End StartedCommand::Wait() {
  End end;
  int status = 0;
  if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) {
    if (WIFEXITED(status)) end.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
  }
  pid_ = -1;
  end.out = Read("out");
  end.err = Read("err");
  return end;
}

}  // namespace wharfling::testing
