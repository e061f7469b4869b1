// Running camknobd as a long-lived process: started with an environment of
// its own, its start line read, then stopped with a signal; and the plain
// sockets a test needs for requests no HTTP client sends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
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

}  // namespace camknob::testing
