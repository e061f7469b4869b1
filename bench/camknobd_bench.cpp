// camknobd: changes a second over one keep-alive connection to camknobd-sim
// against camknob-sim as a process per change, both on the demo system; the
// engine's cost of one change on the demo and on the 1,000-camera system,
// in-process; and camknobd-sim at rest: its CPU and resident memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "json/json_tree.h"
#include "large_fixture.h"
#include "media/sim/sim_fixture.h"
#include "media/sim/sim_fixture_file.h"
#include "media/sim/sim_store.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string scratchFolder() {
  std::string made = (std::filesystem::temp_directory_path() / "camknobd-bench-XXXXXX").string();
  if (::mkdtemp(made.data()) == nullptr) std::abort();
  return made;
}

pid_t spawn(const std::string& path, std::vector<std::string> arguments,
            const std::vector<std::string>& settings, int outputTo) {
  arguments.insert(arguments.begin(), path);
  std::vector<char*> argv;
  for (std::string& text : arguments) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = settings;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const bool replaced = std::any_of(settings.begin(), settings.end(), [&](const std::string& s) {
      return text.substr(0, text.find('=')) == std::string_view(s).substr(0, s.find('='));
    });
    if (!replaced) environment.emplace_back(text);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outputTo >= 0)
    posix_spawn_file_actions_adddup2(&actions, outputTo, 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

std::optional<std::string> textAt(const std::string& document, std::string_view key) {
  const camknob::JsonTreeReading read = camknob::readJsonTree(document);
  if (!read.root) return std::nullopt;
  const auto* object = std::get_if<camknob::JsonObject>(&read.root->value);
  if (object == nullptr) return std::nullopt;
  for (const camknob::JsonMember& member : *object)
    if (member.key == key)
      if (const auto* text = std::get_if<std::string>(&member.value.value)) return *text;
  return std::nullopt;
}

// camknobd-sim on the demo system, started for one benchmark and stopped
// with SIGTERM at its end.
struct Daemon {
  pid_t pid = -1;
  int port = 0;
  std::string token;
  std::string folder;
};

std::optional<Daemon> startDaemon() {
  Daemon daemon;
  daemon.folder = scratchFolder();
  int pipe[2];
  if (::pipe(pipe) != 0) return std::nullopt;
  daemon.pid = spawn(CAMKNOBD_SIM_PATH, {"--listen", "127.0.0.1:0"},
                     {"CAMKNOB_SIM_FIXTURE=", "XDG_CONFIG_HOME=" + daemon.folder,
                      "XDG_RUNTIME_DIR=" + daemon.folder},
                     pipe[1]);
  ::close(pipe[1]);
  std::string line;
  char c = 0;
  while (::read(pipe[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(pipe[0]);
  const auto url = textAt(line, "url");
  const auto tokenFile = textAt(line, "tokenFile");
  if (daemon.pid < 0 || !url || !tokenFile) return std::nullopt;
  daemon.port = std::stoi(url->substr(url->rfind(':') + 1));
  std::ifstream(*tokenFile) >> daemon.token;
  return daemon;
}

void stopDaemon(const Daemon& daemon) {
  ::kill(daemon.pid, SIGTERM);
  ::waitpid(daemon.pid, nullptr, 0);
  std::error_code ignored;
  std::filesystem::remove_all(daemon.folder, ignored);
}

std::string setBody(int value) {
  return R"({"command":"set","control":"brightness","value":)" + std::to_string(value) + "}";
}

// One change as a script makes it today: a camknob-sim process on the demo.
double camknobSimSetSeconds(int value) {
  const auto start = Clock::now();
  const pid_t pid =
      spawn(CAMKNOB_SIM_PATH, {"set", "--control", "brightness", "--value", std::to_string(value)},
            {"CAMKNOB_SIM_FIXTURE="}, -1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Sequential sets over one keep-alive connection, beside the median of ten
// camknob-sim set runs measured in the same run (times_camknob_sim: how many
// times as many changes a second).
void camknobdSetsOverKeepAlive(benchmark::State& state) {
  const std::optional<Daemon> daemon = startDaemon();
  if (!daemon) return state.SkipWithError("camknobd-sim did not start");
  httplib::Client client("127.0.0.1", daemon->port);
  client.set_keep_alive(true);
  // As curl and browsers do: a request's header and body are two writes,
  // and Nagle's algorithm would hold the second for the server's delayed ACK.
  client.set_tcp_nodelay(true);
  const httplib::Headers headers{{"Authorization", "Bearer " + daemon->token},
                                 {"Host", "127.0.0.1:" + std::to_string(daemon->port)}};
  int value = 0;
  const auto started = Clock::now();
  for (auto _ : state) {
    const auto answer =
        client.Post("/api/v1/commands", headers, setBody(++value % 256), "application/json");
    if (!answer || answer->status != 200) {
      state.SkipWithError("a set was refused");
      break;
    }
  }
  const double perChange = std::chrono::duration<double>(Clock::now() - started).count() /
                           double(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.SetItemsProcessed(state.iterations());
  std::vector<double> runs;
  for (int run = 0; run < 10; ++run) runs.push_back(camknobSimSetSeconds(run));
  std::sort(runs.begin(), runs.end());
  const double simSeconds = (runs[4] + runs[5]) / 2;
  state.counters["camknob_sim_ms"] = simSeconds * 1000;
  state.counters["times_camknob_sim"] = simSeconds / perChange;
  stopDaemon(*daemon);
}
BENCHMARK(camknobdSetsOverKeepAlive)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

// The engine in-process: one set on a camera, answered with the list
// document, on the demo (argument 0) or the 1,000-camera system (1).
void engineChange(benchmark::State& state) {
  const bool large = state.range(0) == 1;
  const std::string text =
      large ? camknob::bench::largeFixtureText() : std::string(camknob::sim::demoFixtureText());
  camknob::sim::FixtureLoad loaded = camknob::sim::parseFixture(text);
  camknob::sim::reset(std::move(*loaded.system));
  const std::string folder = scratchFolder();
  const auto engine = camknob::engine::startEngine({folder});
  const std::string device = large ? "CAM-0500" : "";
  int value = 0;
  for (auto _ : state) {
    camknob::CommandRequest set{.command = "set",
                                .device = large ? std::optional<std::string>(device) : std::nullopt,
                                .control = "brightness",
                                .value = std::to_string(++value % 256)};
    const camknob::engine::Answer answer =
        camknob::engine::submit(*engine, camknob::engine::RunCommand{std::move(set), std::nullopt})
            .get();
    if (answer.status != 200) {
      state.SkipWithError("a set was refused");
      break;
    }
    benchmark::DoNotOptimize(answer.body.size());
  }
  camknob::engine::stopEngine(*engine);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(engineChange)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

long clockTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int index = 3; fields >> field; ++index) {
    if (index == 14) utime = std::stol(field);
    if (index == 15) {
      stime = std::stol(field);
      break;
    }
  }
  return utime + stime;
}

double residentMiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

// camknobd-sim at rest on the demo system, no client: the share of one core
// it uses over 5 s, and its resident memory.
void camknobdAtRest(benchmark::State& state) {
  const std::optional<Daemon> daemon = startDaemon();
  if (!daemon) return state.SkipWithError("camknobd-sim did not start");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  double share = 0;
  for (auto _ : state) {
    const long before = clockTicks(daemon->pid);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    share = double(clockTicks(daemon->pid) - before) / double(::sysconf(_SC_CLK_TCK)) / seconds;
    state.SetIterationTime(seconds);
  }
  state.counters["core_percent"] = share * 100;
  state.counters["rss_MiB"] = residentMiB(daemon->pid);
  stopDaemon(*daemon);
}
BENCHMARK(camknobdAtRest)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
