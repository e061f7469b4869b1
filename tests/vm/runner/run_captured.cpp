#include "runner/run_captured.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace camknob::vm {

namespace {

std::int64_t monotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void execChild(const RunRequest& request, char* const* argv, int outFd, int errFd,
                            int failureFd) {
  setpgid(0, 0);
  const int nullFd = open("/dev/null", O_RDONLY);
  if (nullFd >= 0) dup2(nullFd, 0);
  dup2(outFd, 1);
  dup2(errFd, 2);
  int failure = 0;
  if (!request.workingDirectory.empty() && chdir(request.workingDirectory.c_str()) != 0)
    failure = errno;
  if (failure == 0 && request.gid && (setgroups(0, nullptr) != 0 || setgid(*request.gid) != 0))
    failure = errno;
  if (failure == 0 && request.uid && setuid(*request.uid) != 0) failure = errno;
  // A program outlives nothing that started it: a killed test takes its qemu
  // along. (Set after the user switch, which clears it.)
  if (failure == 0) prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (failure == 0) {
    execvp(argv[0], argv);
    failure = errno;
  }
  (void)!write(failureFd, &failure, sizeof failure);
  _exit(127);
}

void setEnvironment(const std::vector<std::string>& additions) {
  for (const std::string& entry : additions) {
    const auto equals = entry.find('=');
    if (equals == std::string::npos) continue;
    setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
  }
}

// Reads what the pipe has now; false at end of file.
bool drain(int fd, std::string& sink) {
  char buffer[16384];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      sink.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return got < 0 && errno == EAGAIN;
  }
}

}  // namespace

RunOutcome runCaptured(const RunRequest& request) {
  RunOutcome outcome{false, {}, -1, 0, false, 0, {}, {}};
  const std::string program = request.argv.empty() ? std::string() : request.argv.front();
  if (program.empty()) {
    outcome.startError = "no program to run";
    return outcome;
  }
  int outPipe[2], errPipe[2], failurePipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0 ||
      pipe2(failurePipe, O_CLOEXEC) != 0) {
    outcome.startError = program + ": pipe: " + std::strerror(errno);
    return outcome;
  }
  std::vector<std::string> arguments = request.argv;
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  const std::int64_t startTime = monotonicNanoseconds();
  const pid_t pid = fork();
  if (pid == 0) {
    // The environment is changed in the child only; setenv is not
    // async-signal-safe, but this child runs no other threads.
    setEnvironment(request.environmentAdditions);
    execChild(request, argv.data(), outPipe[1], errPipe[1], failurePipe[1]);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  close(failurePipe[1]);
  if (pid < 0) {
    outcome.startError = program + ": fork: " + std::strerror(errno);
    for (const int fd : {outPipe[0], errPipe[0], failurePipe[0]}) close(fd);
    return outcome;
  }
  setpgid(pid, pid);  // also from here, so the group exists before any kill

  int failure = 0;
  ssize_t got;
  do got = read(failurePipe[0], &failure, sizeof failure);
  while (got < 0 && errno == EINTR);
  close(failurePipe[0]);
  if (got == static_cast<ssize_t>(sizeof failure)) {
    waitpid(pid, nullptr, 0);
    outcome.wallNanoseconds = monotonicNanoseconds() - startTime;
    close(outPipe[0]);
    close(errPipe[0]);
    outcome.startError = program + ": " + std::strerror(failure);
    return outcome;
  }
  outcome.started = true;

  fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
  fcntl(errPipe[0], F_SETFL, O_NONBLOCK);
  // A pidfd turns the child's exit into something poll() sees; where there is
  // none, poll in short ticks.
  const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  const std::int64_t deadline = startTime + request.timeoutMilliseconds * 1'000'000;
  pollfd fds[3] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}, {pidFd, POLLIN, 0}};
  std::string* sinks[2] = {&outcome.out, &outcome.err};
  int status = 0;
  bool exited = false;
  while (!exited) {
    const std::int64_t left = (deadline - monotonicNanoseconds()) / 1'000'000;
    if (left <= 0) {
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      outcome.timedOut = true;
      waitpid(pid, &status, 0);
      break;
    }
    const int wait = pidFd >= 0 ? static_cast<int>(std::min<std::int64_t>(left, 1'000'000)) : 10;
    if (poll(fds, 3, wait) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i)
      if (fds[i].fd >= 0 && fds[i].revents != 0 && !drain(fds[i].fd, *sinks[i])) fds[i].fd = -1;
    if (waitpid(pid, &status, WNOHANG) == pid) exited = true;
  }
  outcome.wallNanoseconds = monotonicNanoseconds() - startTime;
  // What the program wrote before it exited is in the pipes; whatever it left
  // running in the background is not waited for.
  drain(outPipe[0], outcome.out);
  drain(errPipe[0], outcome.err);
  kill(-pid, SIGKILL);
  for (const int fd : {outPipe[0], errPipe[0], pidFd})
    if (fd >= 0) close(fd);
  if (WIFEXITED(status)) outcome.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

}  // namespace camknob::vm
