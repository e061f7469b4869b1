// camknobd-check: the guest's client of camknobd for the VM tests and the VM
// benchmark. camknobd keeps running between steps (daemon_keeper.h); each
// command prints one JSON line per result on standard output.
//
//   camknobd-check start CAMKNOBD
//     Starts it; {"pid", "startLine", "tokenFileMode"}.
//   camknobd-check request 'METHOD PATH [BODY]'...
//     Each request in turn over one connection; one {"status", "body"} each.
//   camknobd-check wait-camera present|absent NAME TIMEOUT_MS
//     Lists the cameras until one named NAME is (or is not) there; {"reached",
//     "waitedMs", "status", "body"} with the last list.
//   camknobd-check sets COUNT DEVICE CONTROL
//     COUNT sets of the control one after the other, each to another value;
//     {"values", "sentNs", "answeredNs" (CLOCK_MONOTONIC), "statuses", "closes"}.
//   camknobd-check changes COUNT GAP_MS DEVICE CONTROL NODE
//     Sets with GAP_MS between them; {"fds" (camknobd's descriptors of NODE),
//     "sentUs", "answeredUs" (CLOCK_REALTIME, as strace -ttt), "statuses"}.
//   camknobd-check stop
//     SIGTERM, then {"exitStatus", "stderr", "tokenFileLeft"}.
//
// Exit status 0 when every request was answered (and, for wait-camera, the
// state was reached), 1 otherwise, 2 for a wrong command line.
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "api_client/api_session.h"
#include "api_client/daemon_keeper.h"

namespace {

using namespace camknob::vmclient;
using nlohmann::json;

constexpr int startPatienceMilliseconds = 30'000;
constexpr int stopPatienceMilliseconds = 15'000;

int usage() {
  std::cerr << "usage: camknobd-check start CAMKNOBD | request 'METHOD PATH [BODY]'... |\n"
               "       wait-camera present|absent NAME TIMEOUT_MS | sets COUNT DEVICE CONTROL |\n"
               "       changes COUNT GAP_MS DEVICE CONTROL NODE | stop\n";
  return 2;
}

void print(const json& record) {
  std::cout << record.dump() << std::endl;
}

std::optional<RunningDaemon> daemonOrSay() {
  auto daemon = runningDaemon();
  if (!daemon) print({{"error", "camknobd is not running"}});
  return daemon;
}

std::optional<int> number(const std::string& text) {
  try {
    std::size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used == text.size()) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

int start(const std::string& program) {
  const DaemonStart started = startDaemon(program, startPatienceMilliseconds);
  if (!started.daemon) {
    print({{"error", started.fault}});
    return 1;
  }
  struct stat token {};
  const int mode = stat(daemonFile("token").c_str(), &token) == 0 ? int(token.st_mode & 07777) : -1;
  print({{"pid", started.daemon->pid},
         {"startLine", started.daemon->startLine},
         {"tokenFileMode", mode}});
  return 0;
}

int request(const std::vector<std::string>& texts) {
  const auto daemon = daemonOrSay();
  if (!daemon) return 1;
  ApiSession session(*daemon);
  bool answered = true;
  for (const std::string& text : texts) {
    const RequestText asked = requestText(text);
    json answer = session.send(asked.method, asked.path, asked.body);
    answered = answered && answer["status"] != -1;
    answer.erase("closes");
    print(answer);
  }
  return answered ? 0 : 1;
}

bool lists(const json& answer, const std::string& name) {
  if (answer["status"] != 200 || !answer["body"].contains("devices")) return false;
  for (const json& device : answer["body"]["devices"])
    if (device.value("name", "") == name) return true;
  return false;
}

int waitCamera(const std::string& state, const std::string& name, int timeoutMilliseconds) {
  if (state != "present" && state != "absent") return usage();
  const auto daemon = daemonOrSay();
  if (!daemon) return 1;
  ApiSession session(*daemon);
  const std::int64_t started = monotonicNanoseconds();
  const timespec pause{0, 50'000'000};
  for (;;) {
    json answer = session.send("GET", "/api/v1/cameras");
    const std::int64_t waited = (monotonicNanoseconds() - started) / 1'000'000;
    const bool reached = answer["status"] == 200 && lists(answer, name) == (state == "present");
    if (reached || waited > timeoutMilliseconds) {
      answer.erase("closes");
      answer["reached"] = reached;
      answer["waitedMs"] = waited;
      print(answer);
      return reached ? 0 : 1;
    }
    nanosleep(&pause, nullptr);
  }
}

std::string setBody(const std::string& device, const std::string& control, int value) {
  return json{{"command", "set"}, {"device", device}, {"control", control}, {"value", value}}
      .dump();
}

// Each value differs from the one before: -50, -49, ..., 49, -50, ...
int valueAt(int index) {
  return index % 100 - 50;
}

int sets(int count, const std::string& device, const std::string& control) {
  const auto daemon = daemonOrSay();
  if (!daemon) return 1;
  ApiSession session(*daemon);
  json values = json::array(), sent = json::array(), answered = json::array(),
       statuses = json::array();
  int closes = 0;
  bool allAnswered = true;
  for (int i = 0; i < count; ++i) {
    const std::string body = setBody(device, control, valueAt(i));
    const std::int64_t at = monotonicNanoseconds();
    const json answer = session.send("POST", "/api/v1/commands", body);
    answered.push_back(monotonicNanoseconds());
    sent.push_back(at);
    values.push_back(valueAt(i));
    statuses.push_back(answer["status"]);
    allAnswered = allAnswered && answer["status"] != -1;
    if (answer.value("closes", false)) ++closes;
  }
  print({{"values", values},
         {"sentNs", sent},
         {"answeredNs", answered},
         {"statuses", statuses},
         {"closes", closes}});
  return allAnswered ? 0 : 1;
}

// camknobd's descriptors that are open on the node.
json descriptorsOn(int pid, const std::string& node) {
  json fds = json::array();
  std::error_code error;
  const std::filesystem::path folder = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::error_code unreadable;
    if (std::filesystem::read_symlink(entry.path(), unreadable) == node)
      if (const auto fd = number(entry.path().filename().string())) fds.push_back(*fd);
  }
  return fds;
}

int changes(int count, int gapMilliseconds, const std::string& device, const std::string& control,
            const std::string& node) {
  const auto daemon = daemonOrSay();
  if (!daemon) return 1;
  ApiSession session(*daemon);
  json sent = json::array(), answered = json::array(), statuses = json::array();
  bool allAnswered = true;
  const timespec gap{gapMilliseconds / 1000, (gapMilliseconds % 1000) * 1'000'000L};
  for (int i = 0; i < count; ++i) {
    const std::string body = setBody(device, control, valueAt(i));
    sent.push_back(realtimeMicroseconds());
    const json answer = session.send("POST", "/api/v1/commands", body);
    answered.push_back(realtimeMicroseconds());
    statuses.push_back(answer["status"]);
    allAnswered = allAnswered && answer["status"] != -1;
    nanosleep(&gap, nullptr);
  }
  print({{"fds", descriptorsOn(daemon->pid, node)},
         {"sentUs", sent},
         {"answeredUs", answered},
         {"statuses", statuses}});
  return allAnswered ? 0 : 1;
}

int stop() {
  const auto daemon = daemonOrSay();
  if (!daemon) return 1;
  const std::optional<int> ended = stopDaemon(*daemon, stopPatienceMilliseconds);
  print({{"exitStatus", ended ? json(*ended) : json(nullptr)},
         {"stderr", fileText(daemonFile("err"))},
         {"tokenFileLeft", std::filesystem::exists(daemonFile("token"))}});
  return ended ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.empty()) return usage();
  const std::string& command = arguments[0];
  const std::size_t given = arguments.size() - 1;
  if (command == "start" && given == 1) return start(arguments[1]);
  if (command == "request" && given >= 1)
    return request(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
  if (command == "wait-camera" && given == 3)
    if (const auto timeout = number(arguments[3]))
      return waitCamera(arguments[1], arguments[2], *timeout);
  if (command == "sets" && given == 3)
    if (const auto count = number(arguments[1]); count && *count > 0)
      return sets(*count, arguments[2], arguments[3]);
  if (command == "changes" && given == 5) {
    const auto count = number(arguments[1]);
    const auto gap = number(arguments[2]);
    if (count && gap && *count > 0 && *gap >= 0)
      return changes(*count, *gap, arguments[3], arguments[4], arguments[5]);
  }
  if (command == "stop" && given == 0) return stop();
  return usage();
}
