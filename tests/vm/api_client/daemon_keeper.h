// camknobd kept running in the guest between steps: started in a session of
// its own (the step runner ends a step's whole process group), watched by a
// keeper process that records how it ended. Everything about the run is in
// one folder, so that later steps find it.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace camknob::vmclient {

// The folder's files: out and err (camknobd's standard output and error),
// token (--token-file), pid, and exit (its exit status, or minus the signal
// that ended it, once it ended).
inline constexpr const char* daemonFolder = "/tmp/camknobd";

std::string daemonFile(const char* name);

struct RunningDaemon {
  int pid;
  int port;
  std::string token;
  nlohmann::json startLine;
};

// Starts the program with --listen 127.0.0.1:0 --token-file and waits (at
// most `patienceMilliseconds`) for its start line; the fault otherwise.
struct DaemonStart {
  std::optional<RunningDaemon> daemon;
  std::string fault;
};
DaemonStart startDaemon(const std::string& program, int patienceMilliseconds);

// The daemon a start left running, read from the folder; nothing when there
// is none.
std::optional<RunningDaemon> runningDaemon();

// Sends SIGTERM and waits (at most `patienceMilliseconds`) for the keeper to
// record the end: the exit status as the exit file has it.
std::optional<int> stopDaemon(const RunningDaemon& daemon, int patienceMilliseconds);

// The whole file, or empty.
std::string fileText(const std::string& path);

}  // namespace camknob::vmclient
