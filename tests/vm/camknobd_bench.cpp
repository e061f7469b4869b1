#include "camknobd_bench.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "ioctl_count.h"
#include "runner/boot.h"
#include "runner/host_tools.h"
#include "runner/init_script.h"
#include "timed_log.h"

namespace camknob::vmtests {

namespace {

using nlohmann::json;

constexpr int changeCount = 500;
constexpr int warmUpCount = 50;
constexpr int tracedChanges = 10;
constexpr int tracedGapMilliseconds = 400;   // well past the settling read, 80 ms after
constexpr const char* node = "/dev/video0";  // the camera, without vivid
constexpr const char* brightnessSelector = "SET_CUR unit=2 selector=0x02 ";

std::string quoted(const std::string& text) {
  return vm::shellQuoted(text);
}

std::string setsCommand(int count) {
  return "camknobd-check sets " + std::to_string(count) + " " + quoted("Virtual PTZ") +
         " brightness";
}

std::string pidWord() {
  return "\"$(cat /tmp/camknobd/pid)\"";
}

vm::Guest benchGuest() {
  vm::Guest guest;
  guest.virtualCamera = true;
  guest.hostBinaries = {CAMKNOBD_PATH, CAMKNOBD_CHECK_PATH, *vm::findProgram("strace")};
  const std::string timed = vm::guestCameraTimedLog;
  guest.steps = {
      {"loopback", {"ip", "link", "set", "lo", "up"}},
      {"start",
       {"camknobd-check", "start", "/bin/camknobd"},
       {"XDG_CONFIG_HOME=/tmp/camknobd-config"}},
      // qemu translates code the first time it runs; warm camknobd up first.
      {"warm-up", {"sh", "-c", setsCommand(warmUpCount) + " >/dev/null"}, {}, false, 120'000},
      {"sets",
       {"sh", "-c", ": > " + timed + " && " + setsCommand(changeCount) + " && cat " + timed},
       {},
       false,
       300'000},
      {"trace",
       {"sh", "-c",
        "strace -f -ttt -e trace=ioctl -o /tmp/camknobd.trace -p " + pidWord() +
            " & tracer=$!; usleep 1500000; camknobd-check changes " +
            std::to_string(tracedChanges) + " " + std::to_string(tracedGapMilliseconds) + " " +
            quoted("Virtual PTZ") + " brightness " + node +
            "; kill -INT $tracer; wait $tracer; cat /tmp/camknobd.trace >&2"},
       {},
       false,
       120'000},
      {"idle",
       {"sh", "-c",
        "usleep 500000; exec timeout -s INT 3 strace -f -ttt -e trace=ioctl,open,openat -p " +
            pidWord()}},
      {"stop", {"camknobd-check", "stop"}},
  };
  return guest;
}

json firstLine(const vm::StepResult& step) {
  return json::parse(step.out.substr(0, step.out.find('\n')), nullptr, false);
}

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(fraction * double(values.size()) + 0.999999);
  return values[std::min(values.size(), std::max<std::size_t>(rank, 1)) - 1];
}

// Request sent to SET_CUR received, and request sent to answer, in ms; the
// k-th of the last brightness writes the camera logged goes with the k-th
// set, and must carry its value.
void reportLatency(const vm::StepResult& step) {
  const json sets = firstLine(step);
  if (!sets.is_object() || !sets.contains("sentNs")) {
    std::printf("the sets sent nothing: %s\n", step.out.c_str());
    return;
  }
  std::vector<TimedLine> received;
  for (TimedLine& line : timedLines(step.out.substr(step.out.find('\n') + 1)))
    if (line.text.rfind(brightnessSelector, 0) == 0) received.push_back(std::move(line));
  const std::size_t count = sets["sentNs"].size();
  if (received.size() < count) {
    std::printf("the camera received %zu writes of brightness for %zu sets\n", received.size(),
                count);
    return;
  }
  received.erase(received.begin(), received.end() - static_cast<std::ptrdiff_t>(count));
  std::vector<double> toCamera, toAnswer;
  int wrong = 0, failed = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t sent = sets["sentNs"][i];
    const std::int64_t answered = sets["answeredNs"][i];
    if (sets["statuses"][i] != 200) ++failed;
    if (received[i].text != processingSet(2, sets["values"][i]) || received[i].nanoseconds < sent ||
        received[i].nanoseconds > answered)
      ++wrong;
    toCamera.push_back(double(received[i].nanoseconds - sent) / 1e6);
    toAnswer.push_back(double(answered - sent) / 1e6);
  }
  std::printf(
      "%zu sets of brightness, one after the other, over keep-alive connections (the server\n"
      "closes one after 100 requests: %d closed); %d not answered 200, %d out of order or "
      "value\n\n",
      count, sets["closes"].get<int>(), failed, wrong);
  std::printf("%-36s %8s %8s %8s\n", "", "p50 ms", "p99 ms", "max ms");
  std::printf("%-36s %8.2f %8.2f %8.2f\n", "request sent -> camera's SET_CUR",
              percentile(toCamera, 0.5), percentile(toCamera, 0.99), percentile(toCamera, 1.0));
  std::printf("%-36s %8.2f %8.2f %8.2f\n\n", "request sent -> answer read",
              percentile(toAnswer, 0.5), percentile(toAnswer, 0.99), percentile(toAnswer, 1.0));
}

std::string named(const std::map<std::string, int>& counts, int changes) {
  std::string text;
  for (const auto& [request, count] : counts) {
    char part[96];
    std::snprintf(part, sizeof part, "%s%s %.2f", text.empty() ? "" : ", ", request.c_str(),
                  double(count) / changes);
    text += part;
  }
  return text.empty() ? "none" : text;
}

// Each traced change's ioctls on the camera: those made between sending the
// request and reading its answer, and those after, before the next.
void reportIoctls(const vm::StepResult& step) {
  const json changes = firstLine(step);
  if (!changes.is_object() || !changes.contains("sentUs") || changes["fds"].empty()) {
    std::printf("the traced changes did not run: %s\n%s\n", step.out.c_str(), step.err.c_str());
    return;
  }
  std::set<int> fds;
  for (const json& fd : changes["fds"]) fds.insert(fd.get<int>());
  const std::vector<TracedIoctl> traced = tracedIoctls(step.err);
  std::map<std::string, int> immediate, settling, elsewhere;
  const std::size_t count = changes["sentUs"].size();
  int immediateTotal = 0, settlingTotal = 0;
  for (const TracedIoctl& call : traced) {
    if (fds.count(call.fd) == 0) {
      ++elsewhere[call.request];
      continue;
    }
    for (std::size_t i = 0; i < count; ++i) {
      const std::int64_t sent = changes["sentUs"][i];
      const std::int64_t answered = changes["answeredUs"][i];
      const std::int64_t next = i + 1 < count ? changes["sentUs"][i + 1].get<std::int64_t>()
                                              : std::numeric_limits<std::int64_t>::max();
      if (call.microseconds >= sent && call.microseconds <= answered) {
        ++immediate[call.request];
        ++immediateTotal;
      } else if (call.microseconds > answered && call.microseconds < next) {
        ++settling[call.request];
        ++settlingTotal;
      }
    }
  }
  const int changed = static_cast<int>(count);
  std::printf("ioctls on the camera's node per change (%d changes %d ms apart, strace -f):\n",
              changed, tracedGapMilliseconds);
  std::printf("  while answering: %.2f (%s)\n", double(immediateTotal) / changed,
              named(immediate, changed).c_str());
  std::printf("  after, once it settled: %.2f (%s)\n", double(settlingTotal) / changed,
              named(settling, changed).c_str());
  if (!elsewhere.empty())
    std::printf("  on other descriptors: %s\n", named(elsewhere, changed).c_str());
  std::printf("\n");
}

void reportIdle(const vm::StepResult& step) {
  int threads = 0, calls = 0;
  for (std::size_t from = 0; from < step.err.size();) {
    std::size_t end = step.err.find('\n', from);
    if (end == std::string::npos) end = step.err.size();
    const std::string line = step.err.substr(from, end - from);
    from = end + 1;
    // strace attaches to every thread at once, and detaches from each.
    if (line.find("detached") != std::string::npos) ++threads;
    if (line.find("ioctl(") != std::string::npos || line.find("open(") != std::string::npos ||
        line.find("openat(") != std::string::npos)
      ++calls;
  }
  std::printf("idle, no client, 3 s of strace on its %d threads: %d ioctl or open calls\n", threads,
              calls);
}

}  // namespace

int camknobdBench() {
  if (std::string_view(CAMKNOBD_PATH).empty()) {
    std::printf("camknobd is not built here (it needs cpp-httplib)\n");
    return 77;
  }
  if (!vm::findProgram("strace")) {
    std::printf("needs strace (Debian's strace)\n");
    return 77;
  }
  const vm::Boot boot = vm::bootGuest(
      benchGuest(), {CAMKNOB_VM_CACHE_DIR, CAMKNOB_VM_STEP_PATH, CAMKNOB_VIRTUAL_CAMERA_PATH, 900});
  if (boot.status == vm::BootStatus::unavailable) {
    std::printf("cannot run a guest here: %s\n", boot.whyNot.c_str());
    return 77;
  }
  const vm::StepResult* sets = vm::findStep(boot, "sets");
  const vm::StepResult* trace = vm::findStep(boot, "trace");
  const vm::StepResult* idle = vm::findStep(boot, "idle");
  if (boot.status != vm::BootStatus::booted || sets == nullptr || trace == nullptr ||
      idle == nullptr) {
    std::printf("the guest did not finish: %s\n%s\n", boot.whyNot.c_str(), boot.console.c_str());
    return 1;
  }
  std::printf("camknobd on the virtual camera under uvcvideo (qemu, %s: %s)\n\n",
              vm::acceleratorName(boot.accelerator->accelerator), boot.accelerator->reason.c_str());
  reportLatency(*sets);
  reportIoctls(*trace);
  reportIdle(*idle);
  return 0;
}

}  // namespace camknob::vmtests
