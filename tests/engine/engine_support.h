// Running the engine over a simulated system in a test: a fixture loaded,
// the engine started with a configuration folder of its own, and requests
// answered one at a time.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "commands/dispatch.h"
#include "engine/engine.h"
#include "media/sim/sim_store.h"
#include "support/sim_support.h"

namespace camknob::testing {

inline std::string temporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "camknob-engine-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp";
  return pattern;
}

inline CommandRequest requestOf(const std::vector<std::string>& texts) {
  return commandRequestOf(CommandLine{std::vector<std::string_view>(texts.begin(), texts.end())});
}

// The engine over the fixture; stopped and its folder removed at the end.
struct RunningEngine {
  std::string folder;
  std::shared_ptr<engine::Engine> engine;

  // With a write hook, the simulated service calls it from the engine thread
  // after each write it took; with onFailure, the engine reports a failure
  // outside a request to it.
  explicit RunningEngine(std::string_view fixture, std::string configFolder = temporaryFolder(),
                         sim::WriteHook writeHook = nullptr,
                         std::function<void(const std::string&)> onFailure = {})
      : folder(std::move(configFolder)) {
    useFixture(fixture);
    sim::setWriteHook(std::move(writeHook));
    engine = engine::startEngine({folder, std::move(onFailure)});
  }
  RunningEngine(const RunningEngine&) = delete;
  RunningEngine& operator=(const RunningEngine&) = delete;
  ~RunningEngine() {
    stop();
    std::filesystem::remove_all(folder);
  }
  void stop() {
    if (engine) engine::stopEngine(*engine);
    engine.reset();
  }
  engine::Answer ask(engine::Request request) const {
    return engine::submit(*engine, std::move(request)).get();
  }
  // The request of camknob's command line of these texts.
  engine::Answer command(const std::vector<std::string>& texts) const {
    return ask(engine::RunCommand{requestOf(texts), std::nullopt});
  }
};

// camknob's own answer to the line over the fixture, without its newline.
inline std::pair<int, std::string> cliAnswer(std::string_view fixture,
                                             const std::vector<std::string>& texts) {
  useFixture(fixture);
  std::vector<std::string_view> views(texts.begin(), texts.end());
  std::ostringstream out;
  const int status = applyCommand(CommandLine{views}, out);
  std::string text = out.str();
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return {status, text};
}

inline nlohmann::json parsed(const std::string& body) {
  return nlohmann::json::parse(body);
}

}  // namespace camknob::testing
