// camknob-vm-step: the guest side of the VM tests, run by the guest's /init.
//
//   camknob-vm-step run --name NAME [--uid N --gid N] [--env NAME=VALUE]...
//                       [--timeout-ms N] [--record-to FILE] -- PROGRAM [ARG]...
//     Runs the program once and writes its step record (exit status, signal,
//     wall time, standard output and error) to FILE, /dev/ttyS1 by default.
//   camknob-vm-step wait-for TIMEOUT_MS PATH...
//     Waits until every path exists; exit status 1 if the time runs out.
#include <fcntl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "runner/run_captured.h"
#include "runner/step_record.h"

namespace {

using camknob::vm::RunRequest;

template <typename Number>
bool parseNumber(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// Sends the whole record, byte for byte: the serial line is put in raw mode
// (no newline translation) and drained before returning, so nothing is lost
// when the guest powers off right after.
bool sendRecord(const std::string& path, const std::string& record) {
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  termios settings{};
  const bool terminal = tcgetattr(fd, &settings) == 0;
  if (terminal) {
    cfmakeraw(&settings);
    tcsetattr(fd, TCSANOW, &settings);
  }
  std::size_t done = 0;
  while (done < record.size()) {
    const ssize_t wrote = write(fd, record.data() + done, record.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  if (terminal) tcdrain(fd);
  close(fd);
  return done == record.size();
}

int usage() {
  std::cerr
      << "usage: camknob-vm-step run --name NAME [--uid N --gid N] [--env NAME=VALUE]...\n"
         "                           [--timeout-ms N] [--record-to FILE] -- PROGRAM [ARG]...\n"
         "       camknob-vm-step wait-for TIMEOUT_MS PATH...\n";
  return 2;
}

int run(const std::vector<std::string_view>& arguments) {
  std::string name;
  std::string recordPath = "/dev/ttyS1";
  RunRequest request;
  std::size_t i = 0;
  for (; i < arguments.size() && arguments[i] != "--"; ++i) {
    const std::string_view option = arguments[i];
    if (i + 1 >= arguments.size()) return usage();
    const std::string_view value = arguments[++i];
    unsigned id = 0;
    if (option == "--name") {
      name = value;
    } else if (option == "--uid" && parseNumber(value, id)) {
      request.uid = id;
    } else if (option == "--gid" && parseNumber(value, id)) {
      request.gid = id;
    } else if (option == "--env") {
      request.environmentAdditions.emplace_back(value);
    } else if (option == "--timeout-ms" && parseNumber(value, request.timeoutMilliseconds)) {
    } else if (option == "--record-to") {
      recordPath = value;
    } else {
      return usage();
    }
  }
  for (++i; i < arguments.size(); ++i) request.argv.emplace_back(arguments[i]);
  if (!camknob::vm::isStepName(name) || request.argv.empty()) return usage();

  const camknob::vm::RunOutcome outcome = camknob::vm::runCaptured(request);
  camknob::vm::StepResult result{name,
                                 outcome.started ? outcome.exitStatus : -1,
                                 outcome.signal,
                                 outcome.timedOut,
                                 outcome.wallNanoseconds,
                                 outcome.out,
                                 outcome.started ? outcome.err : outcome.startError + '\n'};
  if (!sendRecord(recordPath, camknob::vm::encodeStepRecord(result))) {
    std::cerr << "camknob-vm-step: " << recordPath << ": " << std::strerror(errno) << '\n';
    return 1;
  }
  return 0;
}

int waitFor(const std::vector<std::string_view>& arguments) {
  long timeoutMs = 0;
  if (arguments.size() < 2 || !parseNumber(arguments[0], timeoutMs)) return usage();
  const timespec tick{0, 10'000'000};
  for (long waited = 0;; waited += 10) {
    bool all = true;
    for (std::size_t i = 1; i < arguments.size() && all; ++i)
      all = access(std::string(arguments[i]).c_str(), F_OK) == 0;
    if (all) return 0;
    if (waited >= timeoutMs) break;
    nanosleep(&tick, nullptr);
  }
  std::cerr << "camknob-vm-step: still missing after " << timeoutMs << " ms:";
  for (std::size_t i = 1; i < arguments.size(); ++i)
    if (access(std::string(arguments[i]).c_str(), F_OK) != 0) std::cerr << ' ' << arguments[i];
  std::cerr << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string_view command = argv[1];
  const std::vector<std::string_view> arguments(argv + 2, argv + argc);
  if (command == "run") return run(arguments);
  if (command == "wait-for") return waitFor(arguments);
  return usage();
}
