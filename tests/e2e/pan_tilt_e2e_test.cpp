// move, home and absolute, run as processes; the saved fixture shows the
// exact records the camera received.
#include <gtest/gtest.h>

#include "e2e/e2e_support.h"

namespace camknob::testing {
namespace {

// Relative control that is off and can be switched on; absolute control whose
// native data can be written.
const std::string ptzCamera = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "P1", "lnam": "PTZ"},
   "controls": [
     {"objectId": 51, "properties": {"clas": "ptab", "fcnd": [9, 9, 9, 9, 9, 9, 9, 9]},
      "settable": ["fcnd"]},
     {"objectId": 52, "properties": {"clas": "ptrl", "fcoo": 0, "fcnd": [9, 9, 9, 9]},
      "settable": ["fcnd", "fcoo"]},
     {"objectId": 53, "properties": {"clas": "ptab", "fcnd": [7, 7, 7, 7, 7, 7, 7, 7]},
      "settable": ["fcnd"]}]}]})";

// Absolute control whose native data is not settable; the device refuses it.
const std::string fixedCamera = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "F1", "lnam": "Fixed"},
   "controls": [
     {"objectId": 51, "properties": {"clas": "ptab", "fcnd": [0, 0, 0, 0, 0, 0, 0, 0]}},
     {"objectId": 52, "properties": {"clas": "ptrl", "fcnd": [0, 0, 0, 0]},
      "settable": ["fcnd"], "refuse": {"fcoo": -50}}]}]})";

TEST(PanTilt, MoveRecords) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<int> record;
  };
  const Case cases[] = {
      {{"move"}, {0, 0, 0, 0}},
      {{"move", "--pan", "1"}, {1, 5, 0, 0}},
      {{"move", "--pan", "-1", "--tilt", "0.5"}, {255, 5, 1, 3}},
      {{"move", "--pan", "1", "--speed", "0.375"}, {1, 5, 0, 0}},
      {{"move", "--pan", "0.01", "--speed", "0.05"}, {1, 1, 0, 0}},
      {{"move", "--pan", "7", "--speed", "9"}, {1, 12, 0, 0}},
      {{"move", "--pan", "1", "--speed", "0"}, {1, 1, 0, 0}},
      {{"move", "--pan", "right", "--tilt", "-1", "--speed", "fast"}, {0, 0, 255, 5}},
      {{"move", "--pan", "nan", "--tilt", "-inf"}, {1, 5, 255, 5}},
      {{"move", "--pan", " 1", "--tilt", "-0"}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const std::string path = fixtureFile(ptzCamera);
    const auto moved = response(camknobSim(c.arguments, path), 0);
    EXPECT_EQ(controlOf(moved, 52)["nativeData"], c.record) << c.arguments.size();
    EXPECT_EQ(controlOf(moved, 52)["on"], true);  // switched on before moving
  }
}

TEST(PanTilt, AbsoluteAndHomeRecords) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<int> record;
  };
  const Case cases[] = {
      {{"home"}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {{"absolute"}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {{"absolute", "--pan", "200", "--tilt", "-100"},
       {0x10, 0xF7, 0x07, 0, 0x60, 0x0E, 0xFB, 0xFF}},
      {{"absolute", "--pan", "10.5", "--tilt", "-20.25"},
       {0xA8, 0x93, 0, 0, 0x3C, 0xE3, 0xFE, 0xFF}},
      {{"absolute", "--pan", "NaN", "--tilt", "nan"}, {0x10, 0xF7, 0x07, 0, 0x40, 0x7E, 0x05, 0}},
  };
  for (const Case& c : cases) {
    const std::string path = fixtureFile(ptzCamera);
    const auto placed = response(camknobSim(c.arguments, path), 0);
    EXPECT_EQ(controlOf(placed, 51)["nativeData"], c.record) << c.arguments.size();
    EXPECT_EQ(controlOf(placed, 53)["nativeData"], std::vector<int>(8, 7));  // first one only
    EXPECT_EQ(savedProperties(path, 51)["fcnd"], c.record);
  }
}

TEST(PanTilt, MissingOrFixedMechanism) {
  const std::string noPanTilt = fixtureFile(R"({"devices": [
    {"objectId": 33, "properties": {"uid ": "W", "lnam": "Webcam"}, "controls": []}]})");
  EXPECT_EQ(response(camknobSim({"move"}, noPanTilt), 1)["error"],
            "This camera does not expose relative pan/tilt control.");
  EXPECT_EQ(response(camknobSim({"absolute"}, noPanTilt), 1)["error"],
            "This camera does not expose absolute pan/tilt control.");

  const std::string fixed = fixtureFile(fixedCamera);
  EXPECT_EQ(response(camknobSim({"home"}, fixed), 1)["error"],
            "This camera does not expose absolute pan/tilt control.");
  EXPECT_EQ(response(camknobSim({"absolute", "--pan", "1"}, fixed), 1)["error"],
            "Failed to set pan/tilt position: 1852797029 (nope).");
  // A refused switch-on does not stop the movement.
  const auto moved = response(camknobSim({"move", "--tilt", "1"}, fixed), 0);
  EXPECT_EQ(controlOf(moved, 52)["nativeData"], (std::vector<int>{0, 0, 1, 5}));
}

TEST(PanTilt, RefusedMovementReportsItsStatus) {
  const std::string path = fixtureFile(R"({"devices": [
    {"objectId": 33, "properties": {"uid ": "P", "lnam": "PTZ"},
     "controls": [
       {"objectId": 51, "properties": {"clas": "ptab", "fcnd": [0, 0, 0, 0, 0, 0, 0, 0]},
        "settable": ["fcnd"], "refuse": {"fcnd": 561211770}},
       {"objectId": 52, "properties": {"clas": "ptrl", "fcnd": [0, 0, 0, 0]},
        "settable": ["fcnd"], "refuse": {"fcnd": -50}}]}]})");
  EXPECT_EQ(response(camknobSim({"move", "--pan", "1"}, path), 1)["error"],
            "Failed to move the camera: -50 (0xffffffce).");
  EXPECT_EQ(response(camknobSim({"home"}, path), 1)["error"],
            "Failed to center the camera: 561211770 (!siz).");
}

}  // namespace
}  // namespace camknob::testing
