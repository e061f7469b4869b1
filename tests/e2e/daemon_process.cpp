#include "e2e/daemon_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

extern char** environ;

namespace camknob::testing {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> environmentWith(const EnvironmentChanges& changes) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (changes.count(text.substr(0, text.find('='))) == 0) entries.push_back(text);
  }
  for (const auto& [name, value] : changes)
    if (value) entries.push_back(name + "=" + *value);
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

int millisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Reads what is there on the open descriptors until the deadline or, with
// `untilLine`, a line feed on standard output. False once both are closed.
bool pump(DaemonProcess& daemon, Clock::time_point deadline, bool untilLine) {
  while (daemon.out >= 0 || daemon.err >= 0) {
    if (untilLine && daemon.outText.find('\n') != std::string::npos) return true;
    pollfd fds[2] = {{daemon.out, POLLIN, 0}, {daemon.err, POLLIN, 0}};
    const int ready = ::poll(fds, 2, millisecondsLeft(deadline));
    if (ready <= 0) return true;
    int* descriptors[2] = {&daemon.out, &daemon.err};
    std::string* sinks[2] = {&daemon.outText, &daemon.errText};
    for (int at = 0; at < 2; ++at) {
      if (fds[at].fd < 0 || fds[at].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(fds[at].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[at]->append(buffer, static_cast<std::size_t>(got));
      } else {
        ::close(fds[at].fd);
        *descriptors[at] = -1;
      }
    }
  }
  return false;
}

}  // namespace

DaemonProcess startDaemon(const std::string& program, const std::vector<std::string>& arguments,
                          const EnvironmentChanges& environment) {
  ::signal(SIGPIPE, SIG_IGN);  // a peer gone shows as a failed send
  int outPipe[2], errPipe[2];
  if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  for (const int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
    posix_spawn_file_actions_addclose(&actions, fd);
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<std::string> envp = environmentWith(environment);
  auto argvPointers = pointers(argv);
  auto envPointers = pointers(envp);
  DaemonProcess daemon;
  const int spawned = ::posix_spawn(&daemon.pid, program.c_str(), &actions, nullptr,
                                    argvPointers.data(), envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (spawned != 0) throw std::runtime_error("cannot start " + program);
  daemon.out = outPipe[0];
  daemon.err = errPipe[0];
  return daemon;
}

std::optional<std::string> readStartLine(DaemonProcess& daemon,
                                         std::chrono::milliseconds patience) {
  pump(daemon, Clock::now() + patience, true);
  const std::size_t end = daemon.outText.find('\n');
  if (end == std::string::npos) return std::nullopt;
  return daemon.outText.substr(0, end);
}

DaemonEnd endDaemon(DaemonProcess& daemon, std::optional<int> signal,
                    std::chrono::milliseconds patience) {
  if (daemon.pid < 0) return {-1, daemon.outText, daemon.errText};
  if (signal) ::kill(daemon.pid, *signal);
  const Clock::time_point deadline = Clock::now() + patience;
  int status = 0;
  pid_t ended = 0;
  while ((ended = ::waitpid(daemon.pid, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
    pump(daemon, std::min(deadline, Clock::now() + std::chrono::milliseconds(20)), false);
  }
  if (ended == 0) {
    ::kill(daemon.pid, SIGKILL);
    ::waitpid(daemon.pid, &status, 0);
    status = -1;
  }
  pump(daemon, Clock::now() + std::chrono::seconds(2), false);
  daemon.pid = -1;
  const int exitStatus = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return {exitStatus, daemon.outText, daemon.errText};
}

int connectTo(int port, bool ipv6) {
  const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  int connected = -1;
  if (ipv6) {
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(static_cast<std::uint16_t>(port));
    address.sin6_addr = in6addr_loopback;
    connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  } else {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  }
  if (connected != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void sendText(int socket, const std::string& text) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t wrote = ::send(socket, text.data() + sent, text.size() - sent, 0);
    if (wrote <= 0) return;
    sent += static_cast<std::size_t>(wrote);
  }
}

std::string receiveUntil(int socket, const std::string& until, std::chrono::milliseconds patience) {
  const Clock::time_point deadline = Clock::now() + patience;
  std::string text;
  while (text.find(until) == std::string::npos) {
    pollfd fd{socket, POLLIN, 0};
    if (::poll(&fd, 1, millisecondsLeft(deadline)) <= 0) break;
    char buffer[4096];
    const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

bool closedByPeer(int socket, std::chrono::milliseconds patience) {
  const Clock::time_point deadline = Clock::now() + patience;
  while (true) {
    pollfd fd{socket, POLLIN, 0};
    if (::poll(&fd, 1, millisecondsLeft(deadline)) <= 0) return false;
    char buffer[4096];
    const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
    if (got == 0) return true;
    if (got < 0) return errno == ECONNRESET;
  }
}

}  // namespace camknob::testing
