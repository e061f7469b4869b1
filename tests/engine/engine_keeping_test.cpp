// What the engine keeps: profiles saved and applied by name, holds that
// outlive it, pan/tilt presets.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/engine.h"
#include "engine/engine_support.h"

namespace camknob {
namespace {

using testing::parsed;
using testing::RunningEngine;

constexpr std::string_view camera = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "PTZ-1", "lnam": "PTZ Camera"},
   "controls": [
     {"objectId": 41, "properties": {"clas": "brit", "fcnv": 100, "fcnr": [0, 255]},
      "settable": ["fcnv"]},
     {"objectId": 42, "properties": {"clas": "zoom", "fcnv": 100, "fcnr": [100, 500]},
      "settable": ["fcnv"]},
     {"objectId": 43, "properties": {"clas": "fcus", "fcnv": 10, "fcnr": [0, 255], "fcam": 0},
      "settable": ["fcnv", "fcam"]},
     {"objectId": 44, "properties": {"clas": "ptab", "fcnd": [0, 0, 0, 0, 0, 0, 0, 0]},
      "settable": ["fcnd"]}]},
  {"objectId": 60, "properties": {"uid ": "WEB-2", "lnam": "Webcam"},
   "controls": [
     {"objectId": 61, "properties": {"clas": "brit", "fcnv": 0, "fcnr": [-64, 64]},
      "settable": ["fcnv"]}]}]})";

nlohmann::json controlOf(const std::string& body, std::string_view uid, std::string_view kind) {
  const nlohmann::json document = parsed(body);
  const nlohmann::json& devices = document.contains("devices")
                                      ? document["devices"]
                                      : nlohmann::json::array({document["device"]});
  for (const auto& device : devices)
    if (device["uid"] == std::string(uid))
      for (const auto& control : device["controls"])
        if (control["kind"] == std::string(kind)) return control;
  ADD_FAILURE() << "no " << kind << " of " << uid << " in " << body;
  return {};
}

void set(const RunningEngine& running, const std::string& device, const std::string& kind,
         const std::string& value) {
  const engine::Answer answer =
      running.command({"set", "--device", device, "--control", kind, "--value", value});
  ASSERT_EQ(answer.status, 200) << answer.body;
}

TEST(EngineProfiles, SavedAppliedListedAndDeleted) {
  const RunningEngine running(camera);
  set(running, "PTZ-1", "brightness", "42");
  const engine::Answer saved = running.ask(engine::SaveProfile{"Evening call", std::nullopt});
  ASSERT_EQ(saved.status, 200) << saved.body;
  const std::string file = running.folder + "/profiles/Evening call.json";
  EXPECT_EQ(parsed(saved.body)["file"], file);
  EXPECT_EQ(parsed(saved.body)["uid"], "PTZ-1");
  EXPECT_TRUE(std::filesystem::exists(file));

  set(running, "PTZ-1", "brightness", "7");
  const engine::Answer applied = running.ask(engine::ApplyProfile{"Evening call", std::nullopt});
  EXPECT_EQ(applied.status, 200) << applied.body;
  EXPECT_EQ(controlOf(applied.body, "PTZ-1", "brightness")["value"], 42);
  EXPECT_EQ(controlOf(running.ask(engine::ListCameras{}).body, "PTZ-1", "brightness")["value"], 42);

  const nlohmann::json listed = parsed(running.ask(engine::ListProfiles{}).body);
  ASSERT_EQ(listed["profiles"].size(), 1u);
  EXPECT_EQ(listed["profiles"][0]["name"], "Evening call");
  EXPECT_EQ(listed["profiles"][0]["camera"], "PTZ Camera");

  EXPECT_EQ(running.ask(engine::DeleteProfile{"Evening call"}).status, 200);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(running.ask(engine::DeleteProfile{"Evening call"}).status, 404);
  EXPECT_EQ(parsed(running.ask(engine::ListProfiles{}).body)["profiles"].size(), 0u);
}

TEST(EngineProfiles, NamesAndMissingProfilesAreRefused) {
  const RunningEngine running(camera);
  for (const std::string& name : std::vector<std::string>{"", "../escape", ".hidden", "a/b",
                                                          "trailing ", std::string(65, 'x')})
    EXPECT_EQ(running.ask(engine::SaveProfile{name, std::nullopt}).status, 400) << name;
  EXPECT_EQ(running.ask(engine::ApplyProfile{"none", std::nullopt}).status, 404);
  EXPECT_EQ(running.ask(engine::SaveProfile{"x", std::string("nobody")}).status, 422);
  EXPECT_FALSE(std::filesystem::exists(running.folder + "/profiles/x.json"));
}

TEST(EngineProfiles, ABrokenProfileFileIsListedWithItsFault) {
  const std::string folder = testing::temporaryFolder();
  std::filesystem::create_directories(folder + "/profiles");
  std::ofstream(folder + "/profiles/broken.json") << "{\"camknobProfile\": 1,";
  const RunningEngine running(camera, folder);
  const nlohmann::json listed = parsed(running.ask(engine::ListProfiles{}).body);
  ASSERT_EQ(listed["profiles"].size(), 1u);
  EXPECT_TRUE(listed["profiles"][0].contains("error"));
  EXPECT_EQ(running.ask(engine::ApplyProfile{"broken", std::nullopt}).status, 422);
}

// A held camera is brought back to its profile by the engine started again,
// from the holds it kept in its folder.
TEST(EngineHolds, AHoldOutlivesTheEngineAndIsReleased) {
  const std::string folder = testing::temporaryFolder();
  {
    RunningEngine first(camera, folder);
    set(first, "WEB-2", "brightness", "12");
    ASSERT_EQ(first.ask(engine::SaveProfile{"web", std::string("WEB-2")}).status, 200);
    const engine::Answer held = first.ask(engine::HoldProfile{"web", std::nullopt});
    ASSERT_EQ(held.status, 200) << held.body;
    EXPECT_EQ(parsed(held.body)["hold"]["uid"], "WEB-2");
    EXPECT_TRUE(parsed(held.body)["applied"]["ok"].get<bool>());
    first.folder = testing::temporaryFolder();  // keep the folder for the next engine
  }
  // Changed while no engine ran; the next engine puts it back.
  testing::useFixture(camera);
  {
    RunningEngine second(camera, folder);
    const engine::Answer list = second.ask(engine::ListCameras{});
    EXPECT_EQ(controlOf(list.body, "WEB-2", "brightness")["value"], 12);
    EXPECT_EQ(parsed(second.ask(engine::ListHolds{}).body)["holds"][0]["profile"], "web");
    const engine::Answer released = second.ask(engine::ReleaseHold{std::string("WEB-2")});
    EXPECT_EQ(released.status, 200) << released.body;
    EXPECT_EQ(second.ask(engine::ReleaseHold{std::string("WEB-2")}).status, 404);
    EXPECT_EQ(parsed(second.ask(engine::ListHolds{}).body)["holds"].size(), 0u);
  }
}

TEST(EngineHolds, DeletingAHeldProfileReleasesItsHolds) {
  const RunningEngine running(camera);
  ASSERT_EQ(running.ask(engine::SaveProfile{"p", std::nullopt}).status, 200);
  ASSERT_EQ(running.ask(engine::HoldProfile{"p", std::nullopt}).status, 200);
  const engine::Answer deleted = running.ask(engine::DeleteProfile{"p"});
  EXPECT_EQ(parsed(deleted.body)["released"], nlohmann::json::array({"PTZ-1"}));
  EXPECT_EQ(parsed(running.ask(engine::ListHolds{}).body)["holds"].size(), 0u);
}

TEST(EnginePresets, SavedRecalledAndDeletedPerCamera) {
  const RunningEngine running(camera);
  ASSERT_EQ(running.command({"absolute", "--pan", "30", "--tilt", "-10"}).status, 200);
  set(running, "PTZ-1", "zoom", "250");
  set(running, "PTZ-1", "brightness", "9");
  const engine::Answer saved = running.ask(engine::SavePreset{"Desk", std::nullopt});
  ASSERT_EQ(saved.status, 200) << saved.body;
  EXPECT_EQ(parsed(saved.body)["preset"]["controls"], 3);  // zoom, focus, position

  ASSERT_EQ(running.command({"home"}).status, 200);
  set(running, "PTZ-1", "zoom", "100");
  set(running, "PTZ-1", "brightness", "50");
  const engine::Answer recalled = running.ask(engine::RecallPreset{"Desk", std::nullopt});
  EXPECT_EQ(recalled.status, 200) << recalled.body;
  const std::string list = running.ask(engine::ListCameras{}).body;
  EXPECT_EQ(controlOf(list, "PTZ-1", "zoom")["value"], 250);
  EXPECT_EQ(controlOf(list, "PTZ-1", "brightness")["value"], 50);  // not part of a preset
  EXPECT_EQ(controlOf(list, "PTZ-1", "panTiltAbsolute")["nativeData"],
            nlohmann::json::array({0xE0, 0xA5, 0x01, 0x00, 0x60, 0x73, 0xFF, 0xFF}));

  EXPECT_EQ(parsed(running.ask(engine::ListPresets{std::string("PTZ")}).body)["presets"].size(),
            1u);
  EXPECT_EQ(parsed(running.ask(engine::ListPresets{std::string("WEB-2")}).body)["presets"].size(),
            0u);
  EXPECT_EQ(running.ask(engine::RecallPreset{"Desk", std::string("WEB-2")}).status, 404);
  EXPECT_EQ(running.ask(engine::SavePreset{"x", std::string("WEB-2")}).status, 422);
  EXPECT_EQ(running.ask(engine::DeletePreset{"Desk", std::nullopt}).status, 200);
  EXPECT_EQ(running.ask(engine::RecallPreset{"Desk", std::nullopt}).status, 404);
}

}  // namespace
}  // namespace camknob
