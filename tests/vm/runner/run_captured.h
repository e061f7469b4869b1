// Running a program with its standard output and error captured separately,
// a time limit, and optionally a changed environment and user. Used on the
// host (apt-get, ldd, qemu, ...) and inside the guest by the step runner.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace camknob::vm {

struct RunRequest {
  std::vector<std::string> argv;                  // argv[0] is looked up in PATH
  std::vector<std::string> environmentAdditions;  // NAME=VALUE, set or replaced
  std::optional<unsigned> uid;                    // switch to before exec (gid first)
  std::optional<unsigned> gid;
  std::int64_t timeoutMilliseconds = 60'000;
  std::string workingDirectory;  // empty: the caller's
};

struct RunOutcome {
  bool started;            // false: it could not be run; startError says why
  std::string startError;  // as "program: reason"
  int exitStatus;          // -1 when ended by a signal
  int signal;              // 0 when it exited
  bool timedOut;           // killed at the time limit
  std::int64_t wallNanoseconds;
  std::string out;
  std::string err;
};

// Runs the program with standard input from /dev/null, in its own process
// group, and waits until it exits or the time limit passes; then it kills
// whatever is left of the group.
RunOutcome runCaptured(const RunRequest& request);

}  // namespace camknob::vm
