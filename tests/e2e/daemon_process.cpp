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
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "e2e/run_process.h"

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
  auto argvPointers = nullEndedPointers(argv);
  auto envPointers = nullEndedPointers(envp);
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

int openDescriptors(pid_t pid) {
  std::error_code failed;
  std::filesystem::directory_iterator entries("/proc/" + std::to_string(pid) + "/fd", failed);
  if (failed) return -1;
  int count = 0;
  for (const auto& entry : entries) {
    (void)entry;
    ++count;
  }
  return count;
}

ApiServer startApiServer(const std::string& program, const std::vector<std::string>& arguments,
                         const EnvironmentChanges& environment) {
  ApiServer server;
  server.process = startDaemon(program, arguments, environment);
  const std::optional<std::string> line =
      readStartLine(server.process, std::chrono::milliseconds(20'000));
  if (!line) return server;
  const auto start = nlohmann::json::parse(*line, nullptr, false);
  if (!start.is_object() || !start.contains("url") || !start.contains("tokenFile")) return server;
  const std::string url = start["url"];
  server.port = std::atoi(url.substr(url.rfind(':') + 1).c_str());
  server.host = "127.0.0.1:" + std::to_string(server.port);
  server.token = fileText(start["tokenFile"]);
  return server;
}

ApiClient apiClient(const ApiServer& server) {
  ApiClient client{std::make_unique<httplib::Client>("127.0.0.1", server.port),
                   {{"Authorization", "Bearer " + server.token}}};
  client.connection->set_keep_alive(true);
  client.connection->set_connection_timeout(10, 0);
  client.connection->set_read_timeout(30, 0);
  client.connection->set_write_timeout(30, 0);
  return client;
}

namespace {

HttpAnswer answerOf(const httplib::Result& result) {
  if (!result) return {};
  return {result->status, result->body, result->get_header_value("Content-Type")};
}

// Moves each whole chunk of `pending` to `text`; the chunk of size 0 ends
// the stream.
void decodeChunks(EventReader& reader) {
  while (!reader.ended) {
    const std::size_t lineEnd = reader.pending.find("\r\n");
    if (lineEnd == std::string::npos) return;
    const std::size_t size = std::strtoul(reader.pending.substr(0, lineEnd).c_str(), nullptr, 16);
    const std::size_t whole = lineEnd + 2 + size + 2;
    if (reader.pending.size() < whole) return;
    if (size == 0) reader.ended = true;
    reader.text.append(reader.pending, lineEnd + 2, size);
    reader.pending.erase(0, whole);
  }
}

// The event of one block of lines; nothing for a comment.
std::optional<ServerEvent> eventOf(const std::string& block, std::string_view name) {
  std::optional<std::uint64_t> id;
  std::optional<std::string> data;
  std::string named;
  std::size_t at = 0;
  while (at <= block.size()) {
    const std::size_t end = std::min(block.find('\n', at), block.size());
    const std::string line = block.substr(at, end - at);
    at = end + 1;
    if (line.rfind("id: ", 0) == 0) id = std::strtoull(line.c_str() + 4, nullptr, 10);
    if (line.rfind("data: ", 0) == 0) data = data ? *data + "\n" + line.substr(6) : line.substr(6);
    if (line.rfind("event: ", 0) == 0) named = line.substr(7);
  }
  if (named != name || !data || (name.empty() && !id)) return std::nullopt;
  return ServerEvent{id.value_or(0), *data};
}

}  // namespace

HttpAnswer getFrom(ApiClient& client, const std::string& path) {
  return answerOf(client.connection->Get(path.c_str(), client.headers));
}

HttpAnswer postTo(ApiClient& client, const std::string& path, const std::string& body) {
  return answerOf(client.connection->Post(path.c_str(), client.headers, body, "application/json"));
}

EventReader openEvents(const ApiServer& server, std::chrono::milliseconds patience) {
  EventReader reader;
  reader.socket = connectTo(server.port);
  if (reader.socket < 0) {
    reader.ended = true;
    return reader;
  }
  sendText(reader.socket, "GET /api/v1/events HTTP/1.1\r\nHost: " + server.host +
                              "\r\nAuthorization: Bearer " + server.token + "\r\n\r\n");
  const std::string received = receiveUntil(reader.socket, "\r\n\r\n", patience);
  const std::size_t headEnd = received.find("\r\n\r\n");
  if (headEnd == std::string::npos) {
    reader.head = received;
    reader.ended = true;
    return reader;
  }
  reader.head = received.substr(0, headEnd);
  reader.pending = received.substr(headEnd + 4);
  decodeChunks(reader);
  return reader;
}

std::optional<ServerEvent> nextEvent(EventReader& reader, Clock::time_point deadline,
                                     std::string_view name) {
  for (;;) {
    const std::size_t end = reader.text.find("\n\n");
    if (end != std::string::npos) {
      const std::string block = reader.text.substr(0, end);
      reader.text.erase(0, end + 2);
      if (auto event = eventOf(block, name)) return event;
      continue;
    }
    if (reader.ended || reader.socket < 0) return std::nullopt;
    pollfd fd{reader.socket, POLLIN, 0};
    if (::poll(&fd, 1, millisecondsLeft(deadline)) <= 0) return std::nullopt;
    char buffer[16384];
    const ssize_t got = ::recv(reader.socket, buffer, sizeof buffer, 0);
    if (got <= 0) {
      reader.ended = true;
      continue;
    }
    reader.pending.append(buffer, static_cast<std::size_t>(got));
    decodeChunks(reader);
  }
}

void closeEvents(EventReader& reader) {
  if (reader.socket >= 0) ::close(reader.socket);
  reader.socket = -1;
  reader.ended = true;
}

}  // namespace camknob::testing
