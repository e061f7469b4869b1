// The engine over the simulated service: camknob's commands with camknob's
// answers, re-reading only the camera changed, delta, and changes queued
// back to back.
#include "engine/engine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <set>
#include <sstream>

#include "engine/engine_support.h"

namespace camknob {
namespace {

using testing::cliAnswer;
using testing::parsed;
using testing::RunningEngine;

std::string demoSystem() {
  std::ifstream file(CAMKNOB_EXAMPLES_DIR "/demo-system.json");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Two cameras; the first refuses automatic exposure and has a locked zoom.
constexpr std::string_view twoCameras = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "PTZ-1", "lnam": "PTZ Camera"},
   "controls": [
     {"objectId": 41, "properties": {"clas": "brit", "fcnv": 100, "fcnr": [0, 255]},
      "settable": ["fcnv"]},
     {"objectId": 42, "properties": {"clas": "xpsr", "fcav": 0.5, "fcar": [0, 1], "fcnv": 9,
                                     "fcnr": [0, 99], "fcam": 1},
      "settable": ["fcav", "fcnv", "fcam"], "refuse": {"fcam": -50}},
     {"objectId": 43, "properties": {"clas": "zoom", "fcnv": 100, "fcnr": [100, 500]},
      "settable": ["fcnv"], "refuse": {"fcnv": 1819239275}},
     {"objectId": 44, "properties": {"clas": "ptrl", "fcoo": 0, "fcnd": [0, 0, 0, 0]},
      "settable": ["fcoo", "fcnd"]},
     {"objectId": 45, "properties": {"clas": "ptab", "fcnd": [0, 0, 0, 0, 0, 0, 0, 0]},
      "settable": ["fcnd"]}]},
  {"objectId": 60, "properties": {"uid ": "WEB-2", "lnam": "Webcam"},
   "controls": [
     {"objectId": 61, "properties": {"clas": "brit", "fcnv": 0, "fcnr": [-64, 64]},
      "settable": ["fcnv"]},
     {"objectId": 62, "properties": {"clas": "gain", "fcnv": 3, "fcnr": [0, 10], "fcoo": 1},
      "settable": ["fcnv", "fcoo"]}]}]})";

// Every command, its successes and each of its failures: the engine answers
// as camknob does for the same line, and with 200 exactly when ok is true.
TEST(Engine, CommandsAnswerAsCamknobDoes) {
  const std::vector<std::vector<std::string>> lines = {
      {"list"},
      {"set", "--control", "brightness", "--value", "200"},
      {"set", "--device", "webcam", "--control", "brightness", "--value", "-12.5"},
      {"set", "--control", "brightness", "--value", "x"},
      {"set", "--control", "iris", "--value", "1"},
      {"set", "--control", "zoom", "--value", "300"},
      {"set", "--device", "nobody", "--control", "brightness", "--value", "1"},
      {"auto", "--control", "exposure", "--enabled", "yes"},
      {"on", "--device", "WEB-2", "--control", "gain", "--enabled", "off"},
      {"on", "--control", "gain", "--enabled", "off"},
      {"move", "--pan", "-1", "--tilt", "0.5", "--speed", "1"},
      {"move", "--device", "webcam"},
      {"home"},
      {"absolute", "--pan", "10.5", "--tilt", "-20.25"},
      {"absolute", "--device", "webcam", "--pan", "1"},
      {"dance"},
      {"set", "--device", "PTZ"},
  };
  for (const auto& line : lines) {
    const auto [status, expected] = cliAnswer(twoCameras, line);
    const RunningEngine running(twoCameras);
    const engine::Answer answer = running.command(line);
    EXPECT_EQ(answer.body, expected) << line[0];
    EXPECT_EQ(answer.status, status == 0 ? 200 : 422) << line[0];
  }
}

TEST(Engine, CamerasListsAsCamknobDoesOnTheDemo) {
  const std::string demo = demoSystem();
  const auto [status, expected] = cliAnswer(demo, {"list"});
  const RunningEngine running(demo);
  const engine::Answer answer = running.ask(engine::ListCameras{});
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, expected);
  EXPECT_EQ(*engine::latest(*running.engine).document, expected);
}

// After a write, the service is asked about the changed camera alone: not
// the system's device list, and no object of the other camera.
TEST(Engine, AChangeReadsAgainOnlyTheCameraItChanged) {
  RunningEngine running(twoCameras);
  const engine::Answer answer =
      running.command({"set", "--device", "WEB-2", "--control", "brightness", "--value", "7"});
  ASSERT_EQ(answer.status, 200) << answer.body;
  running.stop();
  const auto& log = sim::callLog();
  std::size_t write = log.size();
  for (std::size_t i = 0; i < log.size(); ++i)
    if (log[i].operation == sim::Operation::SetData) write = i;
  ASSERT_LT(write, log.size());
  EXPECT_EQ(log[write].object, 61u);
  std::set<ObjectId> after;
  for (std::size_t i = write + 1; i < log.size(); ++i)
    if (log[i].operation != sim::Operation::StringText &&
        log[i].operation != sim::Operation::ReleaseString)
      after.insert(log[i].object);
  EXPECT_FALSE(after.empty());
  for (const ObjectId object : after)
    EXPECT_TRUE(object == 60 || object == 61 || object == 62) << object;
}

double brightnessOf(const std::string& body, std::string_view uid) {
  const nlohmann::json document = parsed(body);
  for (const auto& device : document["devices"])
    if (device["uid"] == std::string(uid))
      for (const auto& control : device["controls"])
        if (control["kind"] == "brightness") return control["value"].get<double>();
  ADD_FAILURE() << "no brightness of " << uid << " in " << body;
  return 0;
}

TEST(Engine, DeltaAddsToTheValueWithinTheRange) {
  struct Case {
    double delta;
    double value;
  };
  const Case cases[] = {{10, 110}, {-0.5, 99.5}, {1000, 255}, {-1000, 0}};
  for (const Case& c : cases) {
    const RunningEngine running(twoCameras);
    const engine::Answer answer =
        running.ask(engine::RunCommand{{.command = "set", .control = "brightness"}, c.delta});
    ASSERT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(brightnessOf(answer.body, "PTZ-1"), c.value) << c.delta;
  }
}

TEST(Engine, DeltaWithoutAValueToAddToFailsAsSetDoes) {
  const RunningEngine running(twoCameras);
  for (const CommandRequest& request :
       {CommandRequest{.command = "set", .control = "panTiltRelative"},
        CommandRequest{.command = "set"}, CommandRequest{.command = "set", .control = "iris"}}) {
    const engine::Answer answer = running.ask(engine::RunCommand{request, 1.0});
    EXPECT_EQ(answer.status, 422);
    EXPECT_EQ(parsed(answer.body)["error"], "set requires --control and a numeric --value.");
  }
  const engine::Answer missing = running.ask(
      engine::RunCommand{{.command = "set", .device = "nobody", .control = "brightness"}, 1});
  EXPECT_EQ(parsed(missing.body)["error"], "Camera device was not found.");
}

// Changes sent at once, to one control and to others, all end as the last
// one sent to each: none is lost, none overtakes another.
TEST(Engine, ChangesQueuedAtOnceEndAtTheLastOfEach) {
  const RunningEngine running(twoCameras);
  std::vector<std::future<engine::Answer>> answers;
  for (int i = 1; i <= 200; ++i) {
    const std::string device = i % 2 == 0 ? "PTZ-1" : "WEB-2";
    answers.push_back(
        engine::submit(*running.engine, engine::RunCommand{{.command = "set",
                                                            .device = device,
                                                            .control = "brightness",
                                                            .value = std::to_string(i % 60)},
                                                           std::nullopt}));
  }
  for (auto& answer : answers) {
    const engine::Answer got = answer.get();
    EXPECT_EQ(got.status, 200);
    EXPECT_TRUE(parsed(got.body)["ok"].get<bool>());
  }
  const engine::Answer list = running.ask(engine::ListCameras{});
  EXPECT_EQ(brightnessOf(list.body, "PTZ-1"), 200 % 60);
  EXPECT_EQ(brightnessOf(list.body, "WEB-2"), 199 % 60);
}

TEST(Engine, AChangePublishesANewStateOfTheList) {
  const RunningEngine running(twoCameras);
  const engine::Published first = engine::latest(*running.engine);
  ASSERT_GE(first.version, 1u);
  running.command({"set", "--control", "brightness", "--value", "5"});
  const auto next = engine::waitForNewer(
      *running.engine, first.version, std::chrono::steady_clock::now() + std::chrono::seconds(5));
  ASSERT_TRUE(next);
  EXPECT_EQ(brightnessOf(*next->document, "PTZ-1"), 5);
  // A command that changes nothing publishes nothing new.
  running.command({"dance"});
  EXPECT_EQ(engine::latest(*running.engine).version, next->version);
}

TEST(Engine, AfterStoppingEveryRequestIsRefused) {
  RunningEngine running(twoCameras);
  auto engine = running.engine;
  running.stop();
  const engine::Answer answer = engine::submit(*engine, engine::ListCameras{}).get();
  EXPECT_EQ(answer.status, 503);
  EXPECT_FALSE(engine::waitForNewer(*engine, 0, std::chrono::steady_clock::now()));
}

}  // namespace
}  // namespace camknob
