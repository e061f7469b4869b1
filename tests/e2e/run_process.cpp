#include "e2e/run_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace camknob::testing {

namespace {

constexpr std::string_view fixtureVariable = "CAMKNOB_SIM_FIXTURE=";

std::vector<std::string> environmentWith(const std::optional<std::string>& fixturePath) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (std::string_view(*entry).substr(0, fixtureVariable.size()) != fixtureVariable)
      entries.emplace_back(*entry);
  if (fixturePath) entries.push_back(std::string(fixtureVariable) + *fixturePath);
  return entries;
}

struct Started {
  pid_t pid;
  int out;  // -1 when standard output is not a pipe
  int err;
};

Started start(const std::string& program, const std::vector<std::string>& arguments,
              const std::optional<std::string>& fixturePath, Output output,
              const std::optional<std::string>& inputPath = std::nullopt) {
  int outPipe[2] = {-1, -1}, errPipe[2];
  if (pipe(errPipe) != 0 || (output == Output::Pipe && pipe(outPipe) != 0))
    throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output == Output::Pipe) posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  if (output == Output::Full)
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
  if (output == Output::Closed) posix_spawn_file_actions_addclose(&actions, 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  if (inputPath) posix_spawn_file_actions_addopen(&actions, 0, inputPath->c_str(), O_RDONLY, 0);
  for (const int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
    if (fd >= 0) posix_spawn_file_actions_addclose(&actions, fd);

  std::vector<std::string> argv{program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<std::string> envp = environmentWith(fixturePath);
  auto argvPointers = nullEndedPointers(argv);
  auto envPointers = nullEndedPointers(envp);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argvPointers.data(),
                                  envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (outPipe[1] >= 0) close(outPipe[1]);
  close(errPipe[1]);
  if (spawned != 0) throw std::runtime_error("cannot start " + program);
  return Started{pid, outPipe[0], errPipe[0]};
}

ProcessResult finish(const Started& started) {
  ProcessResult result{-1, {}, {}};
  pollfd fds[2] = {{started.out, POLLIN, 0}, {started.err, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = started.out >= 0 ? 2 : 1;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  waitpid(started.pid, &status, 0);
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  return result;
}

// When CAMKNOB_E2E_RECORD names a folder, each run whose output the test read
// is kept there as one JSON line, for the check of every output against the
// JSON Schemas after the tests. Each test process appends to a file of its
// own, so processes running at once never share one.
void record(const std::string& program, const std::vector<std::string>& arguments,
            const ProcessResult& result) {
  const char* folder = std::getenv("CAMKNOB_E2E_RECORD");
  if (folder == nullptr || *folder == '\0' || result.exitStatus == -1) return;
  using nlohmann::json;
  json entry{{"program", std::filesystem::path(program).filename().string()},
             {"arguments", arguments},
             {"exitStatus", result.exitStatus}};
  try {
    (void)json(result.out).dump();
    entry["stdout"] = result.out;
  } catch (const json::type_error&) {
    // Not UTF-8: kept byte for byte, for the check to report.
    entry["stdoutBytes"] = std::vector<std::uint8_t>(result.out.begin(), result.out.end());
  }
  std::error_code ignored;  // a folder that cannot be made fails the write below
  std::filesystem::create_directories(folder, ignored);
  const std::filesystem::path path =
      std::filesystem::path(folder) / (std::to_string(getpid()) + ".jsonl");
  std::ofstream file(path, std::ios::app | std::ios::binary);
  // Arguments that are not UTF-8 are only shown, so a stand-in character will do.
  file << entry.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
  if (!file.flush()) ADD_FAILURE() << "cannot record the run in " << path;
}

}  // namespace

std::vector<char*> nullEndedPointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::optional<std::string>& fixturePath, Output output) {
  ProcessResult result = finish(start(program, arguments, fixturePath, output));
  if (output == Output::Pipe) record(program, arguments, result);
  return result;
}

ProcessResult runWithInput(const std::string& program, const std::vector<std::string>& arguments,
                           const std::optional<std::string>& fixturePath,
                           const std::string& inputPath) {
  ProcessResult result = finish(start(program, arguments, fixturePath, Output::Pipe, inputPath));
  record(program, arguments, result);
  return result;
}

std::vector<ProcessResult> runAtOnce(const std::string& program,
                                     const std::vector<std::vector<std::string>>& argumentLists,
                                     const std::optional<std::string>& fixturePath) {
  std::vector<Started> runs;
  for (const auto& arguments : argumentLists)
    runs.push_back(start(program, arguments, fixturePath, Output::Pipe));
  std::vector<ProcessResult> results;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    results.push_back(finish(runs[i]));
    record(program, argumentLists[i], results.back());
  }
  return results;
}

std::string fixtureFile(const std::string& text) {
  // Kept for the whole test process (never destroyed), removed when it exits.
  static const std::filesystem::path* folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "camknob-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    const auto* made = new std::filesystem::path(pattern);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*folder, ignored);
    });
    return made;
  }();
  static int counter = 0;
  const std::filesystem::path path = *folder / ("fixture-" + std::to_string(++counter) + ".json");
  std::ofstream(path) << text;
  return path.string();
}

std::string fileText(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace camknob::testing
