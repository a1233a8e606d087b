#include "server/base/helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "server/base/unique_fd.h"

extern char** environ;

namespace wharfling::server {
namespace {

using Clock = std::chrono::steady_clock;

struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

// Close-on-exec, so that a helper started meanwhile by another thread does not hold our write end
// (and keep our read from ever seeing its end).
bool MakePipe(Pipe& pipe) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  pipe.read = UniqueFd(fds[0]);
  pipe.write = UniqueFd(fds[1]);
  return true;
}

int Spawn(pid_t& pid, const std::string& program, const std::vector<std::string>& arguments, int input,
          const Pipe& output, const Pipe& errors) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (int failed = posix_spawn_file_actions_init(&actions); failed != 0) return failed;
  if (int failed = posix_spawnattr_init(&attributes); failed != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return failed;
  }
  posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output.write.get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errors.write.get(), STDERR_FILENO);
  // The server blocks its stop signals in every thread and ignores SIGPIPE; the helper must not
  // inherit either, or a kill by the kernel's limits or a closed pipe would not end it.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXCPU, SIGXFSZ})
    sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const int failed = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return failed;
}

// Waits for the child to end without reaping it (its pid stays its own), killing it at the deadline.
// True when it had to be killed.
bool AwaitEnd(pid_t pid, Clock::time_point deadline) {
  auto pause = std::chrono::microseconds(200);
  for (;;) {
    siginfo_t info{};
    const int got = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (got == 0 && info.si_pid == pid) return false;
    if (got != 0 && errno != EINTR) return false;  // nothing to wait for: the reap below says so
    if (Clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
      }
      return true;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(20000));
  }
}

// Appends what the descriptor has; false at its end or on an error.
bool ReadSome(int fd, std::string& into) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) return true;
    if (got <= 0) return false;
    into.append(buffer, static_cast<std::size_t>(got));
    return true;
  }
}

}  // namespace

HelperRun RunHelper(const std::string& program, const std::vector<std::string>& arguments, int input,
                    const HelperLimits& limits, const HelperWatch& watch) {
  HelperRun run;
  Pipe output;
  Pipe errors;
  if (!MakePipe(output) || !MakePipe(errors)) {
    run.code = errno;
    return run;
  }
  pid_t pid = 0;
  if (const int failed = Spawn(pid, program, arguments, input, output, errors); failed != 0) {
    run.code = failed;
    return run;
  }
  output.write.Reset();
  errors.write.Reset();
  // Should anything below throw, the child is still killed, handed back and reaped.
  struct Reaper {
    pid_t pid;
    const HelperWatch& watch;
    bool done = false;
    ~Reaper() {
      if (done) return;
      ::kill(pid, SIGKILL);
      if (watch.ending) watch.ending(pid);
      while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
  } reaper{pid, watch};
  if (watch.started) watch.started(pid);

  const Clock::time_point deadline = Clock::now() + limits.wallClock;
  bool outputOpen = true;
  bool errorsOpen = true;
  bool timedOut = false;
  bool tooLarge = false;
  while ((outputOpen || errorsOpen) && !timedOut && !tooLarge) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd fds[2] = {{outputOpen ? output.read.get() : -1, POLLIN, 0},
                     {errorsOpen ? errors.read.get() : -1, POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) {
      timedOut = true;  // cannot watch it any longer: it goes
      break;
    }
    if (ready <= 0) continue;
    if (outputOpen && fds[0].revents != 0) {
      outputOpen = ReadSome(output.read.get(), run.output);
      tooLarge = run.output.size() > limits.maxOutput;
    }
    if (errorsOpen && fds[1].revents != 0) {
      errorsOpen = ReadSome(errors.read.get(), run.errors);
      if (run.errors.size() > limits.keptErrors) run.errors.erase(0, run.errors.size() - limits.keptErrors);
    }
  }
  if (timedOut || tooLarge) ::kill(pid, SIGKILL);
  // Its pipes are closed, but a child may outlive them: it has until the deadline, as before.
  timedOut = AwaitEnd(pid, deadline) || timedOut;
  reaper.done = true;
  if (watch.ending) watch.ending(pid);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (tooLarge) {
    run.end = HelperRun::End::kOutputTooLarge;
    run.output.clear();
  } else if (timedOut) {
    run.end = HelperRun::End::kTimedOut;
  } else if (WIFEXITED(status)) {
    run.end = HelperRun::End::kExited;
    run.code = WEXITSTATUS(status);
  } else {
    run.end = HelperRun::End::kSignalled;
    run.code = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  return run;
}

}  // namespace wharfling::server
