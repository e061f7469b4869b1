// The engine under faults: a failure outside any request is reported and
// ends it, a camera it set moving is stopped as it ends, a profile or the
// holds that cannot be changed are answered with the system's reason and
// leave everything as it was, files that are not what they should be are
// kept aside rather than overwritten, and a hold says whether it went on the
// camera.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include "engine/engine.h"
#include "engine/engine_support.h"
#include "media/sim/sim_store.h"

namespace camknob {
namespace {

using testing::parsed;
using testing::RunningEngine;
using namespace std::chrono_literals;

constexpr std::string_view camera = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "PTZ-1", "lnam": "PTZ Camera"},
   "controls": [
     {"objectId": 41, "properties": {"clas": "brit", "fcnv": 100, "fcnr": [0, 255]},
      "settable": ["fcnv"]},
     {"objectId": 42, "properties": {"clas": "zoom", "fcnv": 100, "fcnr": [100, 500]},
      "settable": ["fcnv"]},
     {"objectId": 52, "properties": {"clas": "ptrl", "fcoo": 0, "fcnd": [0, 0, 0, 0]},
      "settable": ["fcnd", "fcoo"]}]}]})";

std::vector<std::uint8_t> relativeRecord() {
  const auto bytes = sim::store().objects.at(52).properties.at(selectors::nativeData).bytes();
  return {bytes.begin(), bytes.end()};
}

const std::vector<std::uint8_t> standing{0, 0, 0, 0};

std::string fileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A failure outside any request (here the read of the cameras that an open
// event stream makes each second) ends the engine: the program hears of it
// with what failed, every request is then answered 503, and the camera the
// engine set moving has been stopped.
TEST(EngineFaults, AFailureOutsideARequestIsReportedAndStopsTheCamera) {
  std::promise<std::string> failure;
  RunningEngine running(camera, testing::temporaryFolder(), nullptr,
                        [&failure](const std::string& what) { failure.set_value(what); });
  ASSERT_EQ(running.command({"move", "--pan", "1"}).status, 200);
  ASSERT_NE(relativeRecord(), standing);

  sim::injectFault(sim::callCount(), sim::Fault::Exception);
  engine::addListener(*running.engine);
  std::future<std::string> reported = failure.get_future();
  ASSERT_EQ(reported.wait_for(5s), std::future_status::ready) << "no failure reported";
  EXPECT_EQ(reported.get(), "std::bad_alloc");
  EXPECT_EQ(running.ask(engine::ListCameras{}).status, 503);
  EXPECT_EQ(relativeRecord(), standing);
}

// A camera set moving is stopped when the engine stops; one the engine
// never moved is not written to.
TEST(EngineFaults, StoppingTheEngineStopsTheCameraItSetMoving) {
  {
    RunningEngine running(camera);
    ASSERT_EQ(running.command({"move", "--pan", "-1", "--tilt", "1"}).status, 200);
    ASSERT_NE(relativeRecord(), standing);
    running.stop();
    EXPECT_EQ(relativeRecord(), standing);
  }
  {
    RunningEngine running(camera);
    sim::store().objects.at(52).properties[selectors::nativeData] = sim::bytesValue({1, 2, 3, 4});
    running.stop();
    EXPECT_EQ(relativeRecord(), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  }
}

// A profile that is there but cannot be removed (here a folder in its place,
// which unlink refuses even to root) is a failure with the system's reason,
// not "no such profile"; its holds stay.
TEST(EngineFaults, AProfileThatCannotBeDeletedSaysWhyAndKeepsItsHolds) {
  const RunningEngine running(camera);
  ASSERT_EQ(running.ask(engine::SaveProfile{"p", std::nullopt}).status, 200);
  ASSERT_EQ(running.ask(engine::HoldProfile{"p", std::nullopt}).status, 200);
  const std::string file = running.folder + "/profiles/p.json";
  std::filesystem::remove(file);
  std::filesystem::create_directories(file + "/inside");

  const engine::Answer deleted = running.ask(engine::DeleteProfile{"p"});
  EXPECT_EQ(deleted.status, 500) << deleted.body;
  EXPECT_EQ(parsed(deleted.body)["error"], "Cannot delete " + file + ": Is a directory.");
  EXPECT_EQ(parsed(running.ask(engine::ListHolds{}).body)["holds"].size(), 1u);
  EXPECT_NE(fileText(running.folder + "/holds.json").find("\"p\""), std::string::npos);
}

// The holds that cannot be stored as a held profile is deleted: a failure
// with the reason, and the profile is not deleted.
TEST(EngineFaults, HoldsThatCannotBeStoredKeepTheProfile) {
  const RunningEngine running(camera);
  ASSERT_EQ(running.ask(engine::SaveProfile{"p", std::nullopt}).status, 200);
  ASSERT_EQ(running.ask(engine::HoldProfile{"p", std::nullopt}).status, 200);
  const std::string holds = running.folder + "/holds.json";
  std::filesystem::remove(holds);
  std::filesystem::create_directories(holds + "/inside");

  const engine::Answer deleted = running.ask(engine::DeleteProfile{"p"});
  EXPECT_EQ(deleted.status, 500) << deleted.body;
  EXPECT_EQ(
      parsed(deleted.body)["error"].get<std::string>().rfind("Cannot release the holds of p: ", 0),
      0u)
      << deleted.body;
  EXPECT_TRUE(std::filesystem::exists(running.folder + "/profiles/p.json"));
  EXPECT_EQ(parsed(running.ask(engine::ListHolds{}).body)["holds"].size(), 1u);
}

// Files of the engine's that are not what they should be are kept aside
// under another name, and the engine starts them anew.
TEST(EngineFaults, CorruptHoldsAndPresetsAreKeptAside) {
  const std::string folder = testing::temporaryFolder();
  const std::string brokenHolds = R"({"camknobHolds": 1, "holds": [)";
  const std::string brokenPresets = R"({"camknobPresets": 7})";
  std::ofstream(folder + "/holds.json") << brokenHolds;
  std::ofstream(folder + "/holds.json.corrupt") << "kept from before";
  std::ofstream(folder + "/presets.json") << brokenPresets;
  const RunningEngine running(camera, folder);
  // Answered once the engine has looked at its holds.
  EXPECT_EQ(parsed(running.ask(engine::ListHolds{}).body)["holds"].size(), 0u);

  EXPECT_EQ(fileText(folder + "/holds.json.corrupt"), "kept from before");
  EXPECT_EQ(fileText(folder + "/holds.json.corrupt.2"), brokenHolds);
  EXPECT_FALSE(std::filesystem::exists(folder + "/holds.json"));
  ASSERT_EQ(running.ask(engine::SaveProfile{"p", std::nullopt}).status, 200);
  ASSERT_EQ(running.ask(engine::HoldProfile{"p", std::nullopt}).status, 200);
  EXPECT_NE(fileText(folder + "/holds.json").find("PTZ-1"), std::string::npos);

  const engine::Answer presets = running.ask(engine::ListPresets{std::nullopt});
  EXPECT_EQ(presets.status, 200) << presets.body;
  EXPECT_EQ(parsed(presets.body)["presets"].size(), 0u);
  EXPECT_EQ(fileText(folder + "/presets.json.corrupt"), brokenPresets);
  EXPECT_EQ(running.ask(engine::SavePreset{"door", std::nullopt}).status, 200);
  EXPECT_EQ(parsed(running.ask(engine::ListPresets{std::nullopt}).body)["presets"].size(), 1u);
}

// A hold whose profile the camera refuses is made all the same, and its
// answer says that it did not all go on the camera.
TEST(EngineFaults, AHoldThatDidNotApplySaysSo) {
  const RunningEngine running(camera);
  ASSERT_EQ(running.ask(engine::SaveProfile{"p", std::nullopt}).status, 200);
  sim::store().objects.at(41).refuse[selectors::nativeValue] = -50;
  const engine::Answer held = running.ask(engine::HoldProfile{"p", std::nullopt});
  EXPECT_EQ(held.status, 422) << held.body;
  const nlohmann::json answer = parsed(held.body);
  EXPECT_EQ(answer["ok"], false);
  EXPECT_EQ(answer["error"], "The hold is kept, but the profile did not all go on the camera.");
  EXPECT_EQ(answer["applied"]["ok"], false);
  EXPECT_EQ(answer["hold"]["uid"], "PTZ-1");
  EXPECT_EQ(parsed(running.ask(engine::ListHolds{}).body)["holds"].size(), 1u);
}

}  // namespace
}  // namespace camknob
