// set, auto and on, run as processes over small fixtures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "e2e/e2e_support.h"

namespace camknob::testing {
namespace {

// Brightness in native units; exposure in absolute units with automatic mode;
// focus refusing every change with the status -50.
const std::string camera = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "A1", "lnam": "Cam"},
   "controls": [
     {"objectId": 41, "properties": {"clas": "brit", "fcnv": 128, "fcnr": [0, 255]},
      "settable": ["fcnv"]},
     {"objectId": 42, "properties": {"clas": "xpsr", "fcav": 0.5, "fcar": [0, 1], "fcnv": 9,
                                     "fcnr": [0, 99], "fcam": 1, "fcoo": 0},
      "settable": ["fcav", "fcnv", "fcam", "fcoo"]},
     {"objectId": 43, "properties": {"clas": "fcus", "fcnv": 1, "fcam": 1, "fcoo": 1},
      "refuse": {"fcnv": -50, "fcam": -50, "fcoo": -50}},
     {"objectId": 44, "properties": {"clas": "brit", "fcnv": 7}, "settable": ["fcnv"]}]}]})";

TEST(ValueCommands, SetWritesInTheControlsOwnScale) {
  const std::string path = fixtureFile(camera);
  auto changed =
      response(camknobSim({"set", "--control", "brightness", "--value", "300"}, path), 0);
  EXPECT_EQ(controlOf(changed, 41)["value"], 300);  // no limiting to the range
  EXPECT_EQ(controlOf(changed, 44)["value"], 7);    // only the first brightness
  changed = response(camknobSim({"set", "--control", "exposure", "--value", "0x1p-3"}, path), 0);
  EXPECT_EQ(controlOf(changed, 42)["value"], 0.125);
  EXPECT_EQ(savedProperties(path, 42)["fcav"], 0.125);
  EXPECT_EQ(savedProperties(path, 42)["fcnv"], 9.0);
  EXPECT_EQ(controlOf(changed, 42)["automatic"], true);  // automatic mode left alone
}

TEST(ValueCommands, SetKeepsTheNearestFloatOfTheText) {
  const std::string path = fixtureFile(camera);
  const auto changed = response(
      camknobSim({"set", "--control", "brightness", "--value", "1.00000017881393432617187499"},
                 path),
      0);
  EXPECT_EQ(controlOf(changed, 41)["value"].get<double>(), 1.00000011920928955078125);
  EXPECT_EQ(controlOf(response(camknobSim({"list"}, path), 0), 41)["value"].get<double>(),
            1.00000011920928955078125);
}

TEST(ValueCommands, NotANumberIsWrittenAndThenNotReported) {
  const std::string path = fixtureFile(camera);
  const auto changed =
      response(camknobSim({"set", "--control", "brightness", "--value", "nan"}, path), 0);
  EXPECT_FALSE(controlOf(changed, 41).contains("value"));
  EXPECT_FALSE(controlOf(changed, 41).contains("valueMode"));
  EXPECT_EQ(controlOf(changed, 41)["settable"], false);
  EXPECT_EQ(controlOf(changed, 41)["maximum"], 255);
  EXPECT_EQ(savedProperties(path, 41)["fcnv"], "nan");
}

TEST(ValueCommands, AutoAndOnWriteTheTruthOfTheWord) {
  const std::string path = fixtureFile(camera);
  struct Case {
    std::vector<std::string> arguments;
    std::string key;
    bool value;
  };
  const Case cases[] = {
      {{"auto", "--control", "exposure", "--enabled", "no"}, "automatic", false},
      {{"auto", "--control", "exposure", "--enabled", "TRUE"}, "automatic", true},
      {{"auto", "--control", "exposure", "--enabled", "enable"}, "automatic", false},
      {{"on", "--control", "exposure", "--enabled", "On"}, "on", true},
      {{"on", "--control", "exposure", "--enabled", ""}, "on", false},
  };
  for (const Case& c : cases) {
    const auto changed = response(camknobSim(c.arguments, path), 0);
    EXPECT_EQ(controlOf(changed, 42)[c.key], c.value) << c.arguments.back();
  }
}

TEST(ValueCommands, FailuresCarryTheMessageAndTheList) {
  const std::string path = fixtureFile(camera);
  const std::string before = fileText(path);
  struct Case {
    std::vector<std::string> arguments;
    std::string error;
  };
  const Case cases[] = {
      {{"set", "--value", "5"}, "set requires --control and a numeric --value."},
      {{"set", "--control", "brightness"}, "set requires --control and a numeric --value."},
      {{"set", "--control", "brightness", "--value", "12abc"},
       "set requires --control and a numeric --value."},
      {{"set", "--control", "Brightness", "--value", "5"},
       "set requires --control and a numeric --value."},
      {{"auto", "--control", "zoom", "--enabled", "1"}, "auto requires --control and --enabled."},
      {{"on", "--control", "exposure"}, "on requires --control and --enabled."},
      {{"set", "--control", "focus", "--value", "5"}, "Failed to set focus: -50 (0xffffffce)."},
      {{"auto", "--control", "focus", "--enabled", "0"},
       "Failed to change automatic mode for focus: -50 (0xffffffce)."},
      {{"on", "--control", "focus", "--enabled", "1"}, "Failed to toggle focus: -50 (0xffffffce)."},
      {{"set", "--control", "exposure", "--value", "5", "--device", "Nobody"},
       "Camera device was not found."},
  };
  for (const Case& c : cases) {
    const auto failed = response(camknobSim(c.arguments, path), 1);
    EXPECT_EQ(failed["error"], c.error);
    EXPECT_EQ(failed["ok"], false);
    EXPECT_EQ(failed["devices"][0]["controls"].size(), 4u);
  }
  EXPECT_EQ(fileText(path), before);  // nothing was changed
}

}  // namespace
}  // namespace camknob::testing
