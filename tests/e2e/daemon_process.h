// Running camknobd as a long-lived process: started with an environment of
// its own, its start line read, then stopped with a signal; the plain
// sockets a test needs for requests no HTTP client sends; and the clients of
// its API: requests over one kept-alive connection, and an event stream read
// event by event.
#pragma once

#include <httplib.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace camknob::testing {

struct DaemonProcess {
  pid_t pid = -1;
  int out = -1;
  int err = -1;
  std::string outText;  // what was read of standard output so far
  std::string errText;
};

// Environment changes: a value sets the variable, nothing removes it.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

DaemonProcess startDaemon(const std::string& program, const std::vector<std::string>& arguments,
                          const EnvironmentChanges& environment);

// The first line of standard output (without its line feed); nothing when
// the process ended or printed none in time.
std::optional<std::string> readStartLine(DaemonProcess& daemon, std::chrono::milliseconds patience);

struct DaemonEnd {
  int exitStatus;   // -1 when it did not exit normally or in time
  std::string out;  // all of standard output
  std::string err;
};

// Sends the signal (none: only waits) and waits for the end, at most
// `patience`; then kills it.
DaemonEnd endDaemon(DaemonProcess& daemon, std::optional<int> signal,
                    std::chrono::milliseconds patience);

// A TCP connection to 127.0.0.1 (or ::1) on the port; -1 when it fails.
int connectTo(int port, bool ipv6 = false);
void sendText(int socket, const std::string& text);
// Reads until the text holds `until`, the peer closes, or `patience` ends.
std::string receiveUntil(int socket, const std::string& until, std::chrono::milliseconds patience);
// Whether the peer closed the connection (read gives 0) within `patience`.
bool closedByPeer(int socket, std::chrono::milliseconds patience);

// How many descriptors the process has open now (-1 when it cannot be told).
int openDescriptors(pid_t pid);

// camknobd started and listening: where, and its token.
struct ApiServer {
  DaemonProcess process;
  int port = 0;      // 0 when it printed no start line in time
  std::string host;  // "127.0.0.1:PORT", as the Host header names it
  std::string token;
};

// Starts the program with the arguments (which must make it listen on
// 127.0.0.1) and reads its start line and token file.
ApiServer startApiServer(const std::string& program, const std::vector<std::string>& arguments,
                         const EnvironmentChanges& environment);

// An answer of the API; status -1 when none came.
struct HttpAnswer {
  int status = -1;
  std::string body;
  std::string contentType;
};

// A client of the API over one connection kept alive between its requests,
// with the token.
struct ApiClient {
  std::unique_ptr<httplib::Client> connection;
  httplib::Headers headers;
};

ApiClient apiClient(const ApiServer& server);
HttpAnswer getFrom(ApiClient& client, const std::string& path);
HttpAnswer postTo(ApiClient& client, const std::string& path, const std::string& body);

// An event stream of the API, read from a plain socket: its answer's head,
// then its chunks decoded as they come.
struct EventReader {
  int socket = -1;
  std::string head;     // the status line and headers
  std::string pending;  // bytes received and not decoded yet
  std::string text;     // the stream's text decoded and not taken as events yet
  bool ended = false;   // the stream's last chunk came, or the peer closed
};

struct ServerEvent {
  std::uint64_t id;
  std::string data;
};

// Opens GET /api/v1/events with the token and reads the head of the answer.
EventReader openEvents(const ApiServer& server, std::chrono::milliseconds patience);
// The next event of the name (comments and events of other names skipped;
// the cameras' states have no name, and an id); nothing when none came by
// the deadline or the stream ended.
std::optional<ServerEvent> nextEvent(EventReader& reader,
                                     std::chrono::steady_clock::time_point deadline,
                                     std::string_view name = "");
void closeEvents(EventReader& reader);

}  // namespace camknob::testing
