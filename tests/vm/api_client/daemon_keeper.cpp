#include "api_client/daemon_keeper.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace camknob::vmclient {

namespace {

void sleepMilliseconds(int milliseconds) {
  const timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1'000'000L};
  nanosleep(&pause, nullptr);
}

// Written whole under another name, then renamed: a reader sees all or none.
void writeFile(const std::string& path, const std::string& text) {
  const std::string partial = path + ".partial";
  {
    std::ofstream out(partial, std::ios::trunc);
    out << text;
  }
  std::rename(partial.c_str(), path.c_str());
}

void redirect(int target, const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags, 0600);
  if (fd < 0) return;
  dup2(fd, target);
  close(fd);
}

// The keeper: a session of its own, camknobd as its child, and the end
// recorded. Never returns.
[[noreturn]] void keep(const std::string& program) {
  setsid();
  redirect(0, "/dev/null", O_RDONLY);
  redirect(1, "/dev/null", O_WRONLY);
  redirect(2, "/dev/null", O_WRONLY);
  const pid_t child = fork();
  if (child == 0) {
    redirect(1, daemonFile("out"), O_WRONLY | O_CREAT | O_TRUNC);
    redirect(2, daemonFile("err"), O_WRONLY | O_CREAT | O_TRUNC);
    const std::string token = daemonFile("token");
    const char* argv[] = {program.c_str(), "--listen",    "127.0.0.1:0",
                          "--token-file",  token.c_str(), nullptr};
    execv(program.c_str(), const_cast<char* const*>(argv));
    std::fprintf(stderr, "cannot start %s: %s\n", program.c_str(), std::strerror(errno));
    _exit(127);
  }
  if (child < 0) _exit(1);
  writeFile(daemonFile("pid"), std::to_string(child));
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  const int ended = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  writeFile(daemonFile("exit"), std::to_string(ended));
  _exit(0);
}

std::optional<std::string> firstLine(const std::string& path) {
  const std::string text = fileText(path);
  const auto end = text.find('\n');
  if (end == std::string::npos) return std::nullopt;
  return text.substr(0, end);
}

std::optional<RunningDaemon> daemonOf(const std::string& startText) {
  const nlohmann::json line = nlohmann::json::parse(startText, nullptr, false);
  if (!line.is_object() || !line.contains("url") || !line["url"].is_string()) return std::nullopt;
  const std::string url = line["url"];
  const std::string pidText = fileText(daemonFile("pid"));
  std::string token = fileText(daemonFile("token"));
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
  const auto colon = url.rfind(':');
  if (pidText.empty() || token.empty() || colon == std::string::npos) return std::nullopt;
  return RunningDaemon{std::stoi(pidText), std::stoi(url.substr(colon + 1)), token, line};
}

}  // namespace

std::string daemonFile(const char* name) {
  return std::string(daemonFolder) + "/" + name;
}

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

DaemonStart startDaemon(const std::string& program, int patienceMilliseconds) {
  std::error_code ignored;
  std::filesystem::remove_all(daemonFolder, ignored);
  if (mkdir(daemonFolder, 0700) != 0)
    return {std::nullopt, std::string("cannot make ") + daemonFolder + ": " + std::strerror(errno)};
  const pid_t keeper = fork();
  if (keeper < 0) return {std::nullopt, std::string("fork: ") + std::strerror(errno)};
  if (keeper == 0) keep(program);
  waitpid(keeper, nullptr, WNOHANG);
  for (int waited = 0; waited <= patienceMilliseconds; waited += 20) {
    if (const auto line = firstLine(daemonFile("out"))) {
      if (auto daemon = daemonOf(*line)) return {std::move(daemon), {}};
      return {std::nullopt, "an unexpected start line: " + *line};
    }
    if (!fileText(daemonFile("exit")).empty())
      return {std::nullopt, "it ended with status " + fileText(daemonFile("exit")) +
                                ", saying: " + fileText(daemonFile("err"))};
    sleepMilliseconds(20);
  }
  return {std::nullopt, "no start line in time; it said: " + fileText(daemonFile("err"))};
}

std::optional<RunningDaemon> runningDaemon() {
  const auto line = firstLine(daemonFile("out"));
  if (!line) return std::nullopt;
  return daemonOf(*line);
}

std::optional<int> stopDaemon(const RunningDaemon& daemon, int patienceMilliseconds) {
  if (fileText(daemonFile("exit")).empty()) kill(daemon.pid, SIGTERM);
  for (int waited = 0; waited <= patienceMilliseconds; waited += 20) {
    const std::string ended = fileText(daemonFile("exit"));
    if (!ended.empty()) return std::stoi(ended);
    sleepMilliseconds(20);
  }
  return std::nullopt;
}

}  // namespace camknob::vmclient
