// The fixture capture over the V4L2 service on a fake machine: what it writes
// of a camera, and that the simulated service reads it back as the same
// system.
#include "capture/fixture_capture.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fake_cameras.h"
#include "media/sim/sim_fixture.h"

namespace camknob::v4l2 {
namespace {

using nlohmann::json;

fake::FakeNode cameraWithMenus() {
  fake::FakeNode node = fake::ptzCamera("video0");
  node.controls.push_back(fake::menu(V4L2_CID_POWER_LINE_FREQUENCY, "Power Line Frequency", 0, 3, 1,
                                     {{0, "Disabled", 0}, {1, "50 Hz", 0}, {3, "Auto", 0}}));
  node.controls.push_back(fake::FakeControl{
      fake::described(0x0098f903, V4L2_CTRL_TYPE_INTEGER_MENU, "Integer Menu", 1, 3, 1, 0, 2),
      2,
      0,
      0,
      {{1, {}, -5}, {3, {}, std::int64_t(1) << 40}}});
  return node;
}

json controlNamed(const json& fixture, const std::string& name) {
  for (const json& control : fixture["devices"][0]["controls"])
    if (control["properties"]["lnam"] == name) return control;
  ADD_FAILURE() << "no control " << name << " in " << fixture.dump();
  return json::object();
}

TEST(FixtureCapture, WritesEachControlAsTheDriverDescribesIt) {
  fake::useMachine(fake::Machine{{cameraWithMenus(), fake::metadataNode()}, {}});
  const std::string text = capture::capturedFixture();
  const json fixture = json::parse(text);
  ASSERT_EQ(fixture["devices"].size(), 1u);
  const json& device = fixture["devices"][0];
  EXPECT_EQ(device["objectId"], 0x10000);
  EXPECT_EQ(device["properties"], (json{{"uid ", "usb-dummy_hcd.0-1/1d6b:0102"},
                                        {"lnam", "Virtual PTZ Camera"},
                                        {"lmak", "camknob test"}}));
  EXPECT_FALSE(device.contains("settable"));

  // The exposure time, 3 to 2047 in 100 µs steps, at 156 (its default),
  // starting in automatic mode.
  EXPECT_EQ(controlNamed(fixture, "Exposure Time, Absolute"),
            json::parse(R"({"objectId": 65540, "properties": {"clas": "xpsr", "fcam": 1,
              "fcav": 0.0156, "fcnv": 156, "fcar": [0.0003, 0.2047], "fcnr": [3, 2047],
              "lnam": "Exposure Time, Absolute", "fcun": "seconds", "cnst": 1, "cndf": 156,
              "cast": 0.0001, "cadf": 0.0156, "cdam": 1}, "settable": ["fcam", "fcav", "fcnv"]})"));
  EXPECT_EQ(controlNamed(fixture, "Power Line Frequency")["menu"],
            json::parse(R"([{"value": 0, "name": "Disabled"}, {"value": 1, "name": "50 Hz"},
                            {"value": 3, "name": "Auto"}])"));
  EXPECT_EQ(controlNamed(fixture, "Integer Menu")["menu"],
            json::parse(R"([{"value": 1, "name": -5}, {"value": 3, "name": 1099511627776}])"));
  // A driver's own control by its number; pan with tilt as native data.
  EXPECT_EQ(controlNamed(fixture, "Integer Menu")["properties"]["clas"], 0x0098f903);
  const json pair = controlNamed(fixture, "Pan, Absolute + Tilt, Absolute");
  EXPECT_EQ(pair["properties"]["fcnd"], json({0xA0, 0x8C, 0, 0, 0xE0, 0xE3, 0xFF, 0xFF}));
  EXPECT_FALSE(pair.contains("menu"));
  EXPECT_FALSE(pair["properties"].contains("cnst"));
}

TEST(FixtureCapture, TheSimulatedServiceReadsTheCaptureBackWithEveryProperty) {
  fake::useMachine(fake::Machine{{cameraWithMenus()}, {}});
  json fixture = json::parse(capture::capturedFixture());
  // Menus wait for the fixture reader to take them.
  for (json& control : fixture["devices"][0]["controls"]) control.erase("menu");
  const sim::FixtureLoad load = sim::parseFixture(fixture.dump());
  ASSERT_TRUE(load.system) << load.fault;
  // Written again by the simulated service's own writer, the same document.
  EXPECT_EQ(json::parse(sim::fixtureText(*load.system)), fixture);
}

}  // namespace
}  // namespace camknob::v4l2
