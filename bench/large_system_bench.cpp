// A machine of 1,000 cameras with 100 controls each (a 16 MB fixture): how
// long camknob-sim takes for list and set as a process, and how much memory
// it needs at most, with the pieces of that time measured in-process. And a
// long --device text against a long camera name.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "commands/device_selection.h"
#include "discovery/list_devices.h"
#include "json/json_text.h"
#include "large_fixture.h"
#include "media/sim/sim_fixture_file.h"

extern char** environ;

namespace {

// The fixture, written once per benchmark run into a folder of its own that
// goes when the run ends.
const std::string& largeFixturePath() {
  static const std::string* const path = [] {
    static const std::string* folder = nullptr;  // outlives every destructor
    std::string made = (std::filesystem::temp_directory_path() / "camknob-bench-XXXXXX").string();
    if (mkdtemp(made.data()) == nullptr) std::abort();
    folder = new std::string(made);
    std::ofstream(made + "/large.json") << camknob::bench::largeFixtureText();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*folder, ignored);
    });
    return new std::string(made + "/large.json");
  }();
  return *path;
}

struct Measured {
  bool ok;
  double seconds;     // wall clock
  double cpuSeconds;  // user and system
  double peakMiB;     // largest resident set
};

// One run of camknob-sim as a script runs it, its output thrown away.
Measured runSim(const std::string& fixture, const std::vector<std::string>& arguments) {
  std::vector<std::string> texts{CAMKNOB_SIM_PATH};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment{"CAMKNOB_SIM_FIXTURE=" + fixture};
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (std::string_view(*entry).rfind("CAMKNOB_SIM_FIXTURE=", 0) != 0)
      environment.emplace_back(*entry);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, CAMKNOB_SIM_PATH, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return {false, 0, 0, 0};
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
  return {WIFEXITED(status) && WEXITSTATUS(status) == 0, wall.count(),
          seconds(usage.ru_utime) + seconds(usage.ru_stime), double(usage.ru_maxrss) / 1024.0};
}

void reportRuns(benchmark::State& state, const std::vector<Measured>& runs) {
  double cpu = 0, peak = 0;
  for (const Measured& run : runs) {
    cpu += run.cpuSeconds;
    peak = std::max(peak, run.peakMiB);
  }
  state.counters["cpu_s"] = cpu / double(runs.size());
  state.counters["peak_MiB"] = peak;
}

// camknob-sim list over the large fixture, as a process.
void listLargeSystem(benchmark::State& state) {
  const std::string& fixture = largeFixturePath();
  std::vector<Measured> runs;
  for (auto _ : state) {
    const Measured run = runSim(fixture, {"list"});
    if (!run.ok) state.SkipWithError("camknob-sim list failed");
    state.SetIterationTime(run.seconds);
    runs.push_back(run);
  }
  reportRuns(state, runs);
}
BENCHMARK(listLargeSystem)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// camknob-sim set on one camera of the large fixture, as a process: both
// device lists, the 80 ms pause and saving the fixture.
void setLargeSystem(benchmark::State& state) {
  const std::string fixture = largeFixturePath() + ".set.json";
  std::filesystem::copy_file(largeFixturePath(), fixture,
                             std::filesystem::copy_options::overwrite_existing);
  std::vector<Measured> runs;
  int value = 0;
  for (auto _ : state) {
    const Measured run = runSim(fixture, {"set", "--device", "CAM-0500", "--control", "brightness",
                                          "--value", std::to_string(++value)});
    if (!run.ok) state.SkipWithError("camknob-sim set failed");
    state.SetIterationTime(run.seconds);
    runs.push_back(run);
  }
  reportRuns(state, runs);
  std::filesystem::remove(fixture);
}
BENCHMARK(setLargeSystem)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The pieces, in-process.

const std::string& largeFixtureInMemory() {
  static const std::string text = camknob::bench::largeFixtureText();
  return text;
}

void parseLargeFixture(benchmark::State& state) {
  const std::string& text = largeFixtureInMemory();
  for (auto _ : state) benchmark::DoNotOptimize(camknob::sim::parseFixture(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(parseLargeFixture)->Unit(benchmark::kMillisecond);

void loadLargeSystem() {
  camknob::sim::FixtureLoad loaded = camknob::sim::parseFixture(largeFixtureInMemory());
  camknob::sim::reset(std::move(*loaded.system));
}

void listLargeSystemInProcess(benchmark::State& state) {
  loadLargeSystem();
  for (auto _ : state) benchmark::DoNotOptimize(camknob::listDevices());
}
BENCHMARK(listLargeSystemInProcess)->Unit(benchmark::kMillisecond);

void encodeLargeResponse(benchmark::State& state) {
  loadLargeSystem();
  const camknob::CameraResponse response{true, camknob::listDevices(), std::nullopt};
  for (auto _ : state) benchmark::DoNotOptimize(camknob::encodeResponse(response));
}
BENCHMARK(encodeLargeResponse)->Unit(benchmark::kMillisecond);

void writeLargeFixtureText(benchmark::State& state) {
  loadLargeSystem();
  for (auto _ : state) benchmark::DoNotOptimize(camknob::sim::fixtureText(camknob::sim::store()));
}
BENCHMARK(writeLargeFixtureText)->Unit(benchmark::kMillisecond);

// --device of 20,001 characters against a camera named by 1 MiB of text.
void selectByLongText(benchmark::State& state) {
  const std::vector<camknob::CameraDevice> devices{
      camknob::CameraDevice{1, "U1", std::string(std::size_t(1) << 20, 'a'), std::nullopt, {}}};
  const std::string wanted = std::string(20000, 'A') + "b";
  const camknob::CommandRequest request{.command = "set", .device = wanted};
  for (auto _ : state) benchmark::DoNotOptimize(camknob::selectedDevice(devices, request));
}
BENCHMARK(selectByLongText)->Unit(benchmark::kMillisecond);

}  // namespace
