#include "http/daemon.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>

#include "engine/config_folder.h"
#include "engine/engine.h"
#include "http/answer_headers.h"
#include "http/api_handlers.h"
#include "http/api_state.h"
#include "http/api_texts.h"
#include "http/daemon_options.h"
#include "http/event_stream.h"
#include "http/key_file.h"
#include "http/listening.h"
#include "http/login_sessions.h"
#include "http/machine_names.h"
#include "http/request_gate.h"
#include "http/secret_text.h"
#include "http/token_file.h"
#include "text/one_line.h"

namespace camknob::http {

namespace {

constexpr int faultStatus = 1;
constexpr int refusedStatus = 2;

void say(std::string_view program, std::string_view message) {
  std::cerr << program << ": " << oneLine(message) << std::endl;
}

// SIGTERM and SIGINT are taken by sigwait on the main thread alone; every
// thread started later inherits the blocked mask.
sigset_t stopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  return signals;
}

void setUpServer(httplib::Server& server, ApiState& state) {
  server.set_payload_max_length(maxBodyBytes);
  server.set_tcp_nodelay(true);
  server.set_keep_alive_max_count(100);
  httplib::Headers headers;
  for (const auto& [name, value] : everyAnswerHeaders) headers.emplace(name, value);
  server.set_default_headers(std::move(headers));
  installApiHandlers(server, state);
}

// Where the token file goes, or why it cannot.
struct TokenPlace {
  std::string path;
  std::optional<std::string> fault;
};

TokenPlace tokenPlace(const DaemonOptions& options, int port) {
  if (options.tokenFile) return {*options.tokenFile, std::nullopt};
  const std::string folder =
      defaultTokenFolder(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"), ::geteuid());
  return {folder + "/" + tokenFileName(port), prepareTokenFolder(folder)};
}

// --show-key and --new-key: the key on standard output, one line.
int answerKeyAction(std::string_view program, const DaemonOptions& options,
                    const std::string& configFolder) {
  auto key = options.keyAction == KeyAction::Replace ? newKey(configFolder) : keptKey(configFolder);
  if (const auto* fault = std::get_if<KeyFault>(&key)) {
    say(program, fault->message);
    return refusedStatus;
  }
  std::cout << std::get<std::string>(key) << std::endl;
  return 0;
}

int serve(std::string_view program, const CommandLine& line, const ServiceStart& startService) {
  auto parsed = parseDaemonOptions(line.texts);
  if (const auto* fault = std::get_if<std::string>(&parsed)) {
    say(program, *fault);
    return refusedStatus;
  }
  const DaemonOptions options = std::get<DaemonOptions>(std::move(parsed));
  if (options.help) {
    std::cout << daemonUsage(program) << std::endl;
    return 0;
  }
  const std::optional<std::string> configFolder = engine::defaultConfigFolder();
  if (!configFolder) {
    say(program, "Neither XDG_CONFIG_HOME nor HOME names a folder to keep profiles in.");
    return refusedStatus;
  }
  if (options.keyAction != KeyAction::None) return answerKeyAction(program, options, *configFolder);
  if (startService)
    if (const std::optional<int> failed = startService()) return *failed;
  auto kept = keptKey(*configFolder);
  if (const auto* fault = std::get_if<KeyFault>(&kept)) {
    say(program, fault->message);
    return refusedStatus;
  }

  const sigset_t signals = stopSignals();
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  ApiState state;
  state.token = randomHex(secretBytes);
  state.key.watch(keyFilePath(*configFolder), std::get<std::string>(std::move(kept)));
  auto bound = bindListeners(options.listen,
                             [&state](httplib::Server& server) { setUpServer(server, state); });
  if (const auto* fault = std::get_if<std::string>(&bound)) {
    say(program, *fault);
    return faultStatus;
  }
  Listening listening = std::get<Listening>(std::move(bound));
  for (const std::string& note : listening.notes) say(program, note);
  if (!options.listen.loopback)
    say(program, "Warning: the API is reachable from the network at " +
                     baseUrl(options.listen, listening.port) +
                     " (with the token or the key only).");
  std::vector<std::string> otherNames =
      options.listen.loopback ? std::vector<std::string>() : machineNames();
  otherNames.insert(otherNames.end(), options.allowedHosts.begin(), options.allowedHosts.end());
  state.acceptedHosts = acceptedHosts(options.listen, listening.port, otherNames);
  state.url = baseUrl(options.listen, listening.port);

  const TokenPlace place = tokenPlace(options, listening.port);
  if (place.fault) {
    say(program, *place.fault);
    closeUnstarted(listening);
    return refusedStatus;
  }
  auto written = writeTokenFile(place.path, state.token);
  if (const auto* fault = std::get_if<std::string>(&written)) {
    say(program, *fault);
    closeUnstarted(listening);
    return refusedStatus;
  }
  const TokenFile tokenFile = std::get<TokenFile>(std::move(written));
  const std::optional<std::string> start =
      startLine(loginPage(state.url, newLoginCode(state.logins)), tokenFile.path, state.url);
  if (!start) {
    say(program, "The token file's path is not UTF-8.");
    removeTokenFile(tokenFile);
    closeUnstarted(listening);
    return refusedStatus;
  }

  std::atomic<bool> stopping = false;
  std::atomic<bool> failed = false;
  const pthread_t mainThread = ::pthread_self();
  // The engine stopped by itself (and said why): the program ends with a
  // failure, so that its service manager starts it again.
  std::mutex engineFailureMutex;
  std::optional<std::string> engineFailure;
  state.engine =
      engine::startEngine(engine::EngineSettings{*configFolder, [&](const std::string& what) {
                                                   {
                                                     const std::lock_guard lock(engineFailureMutex);
                                                     engineFailure = what;
                                                   }
                                                   ::pthread_kill(mainThread, SIGTERM);
                                                 }});
  startListening(listening, [&] {
    if (stopping) return;
    failed = true;
    ::pthread_kill(mainThread, SIGTERM);
  });
  std::cout << *start << std::endl;

  int signal = 0;
  while (::sigwait(&signals, &signal) != 0) {
  }
  stopping = true;
  endEventStreams(state.streams, std::chrono::seconds(1));
  stopListening(listening);
  removeTokenFile(tokenFile);
  engine::stopEngine(*state.engine);
  if (engineFailure) return faultStatus;  // the engine said why
  if (failed) {
    say(program, "A server stopped by itself.");
    return faultStatus;
  }
  return 0;
}

}  // namespace

int runDaemon(std::string_view program, const CommandLine& line, const ServiceStart& startService) {
  try {
    return serve(program, line, startService);
  } catch (const std::exception& failure) {
    say(program, std::string(failure.what()) + ".");
    return faultStatus;
  }
}

}  // namespace camknob::http
