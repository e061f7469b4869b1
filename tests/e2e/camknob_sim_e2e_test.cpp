// camknob-sim as a process: fixtures, the demo system, selection and output.
#include <gtest/gtest.h>

#include "e2e/e2e_support.h"

namespace camknob::testing {
namespace {

const std::string examples = CAMKNOB_EXAMPLES_DIR;

TEST(CamknobSim, DocumentedExampleComesOutByteForByte) {
  const ProcessResult listed = camknobSim({}, examples + "/usb-camera.json");
  EXPECT_EQ(listed.exitStatus, 0);
  EXPECT_EQ(listed.err, "");
  EXPECT_EQ(
      listed.out,
      R"({"devices":[{"controls":[{"automaticSettable":false,"classCode":"brit","kind":"brightness","maximum":255,"minimum":0,"name":"Brightness","nativeDataSettable":false,"objectId":41,"onSettable":false,"settable":true,"value":128,"valueMode":"native"}],"name":"USB Camera","objectId":33,"uid":"A1B2C3D4"}],"ok":true})"
      "\n");
}

TEST(CamknobSim, BadFixturesStopBeforeTheToolRuns) {
  struct Case {
    std::string path;
    std::string fault;
  };
  const Case cases[] = {
      {fixtureFile("{\"devices\": ["), "parse error"},
      {fixtureFile(R"({"devices": [{"objectId": 2, "properties": {"fcnv": true}}]})"),
       "devices[0].properties.fcnv: expected a number"},
      {examples + "/no-such-fixture.json", "cannot open"},
      {examples, "cannot read: a folder"},
  };
  for (const Case& c : cases) {
    const ProcessResult run = camknobSim({"list"}, c.path);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("camknob-sim: fixture " + c.path + ": ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.fault), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
}

TEST(CamknobSim, DemoSystemListsBothCameras) {
  const auto listed = response(camknobSim({}), 0);
  ASSERT_EQ(listed["devices"].size(), 2u);
  std::set<std::string> kinds;
  for (const auto& control : listed["devices"][0]["controls"]) kinds.insert(control["kind"]);
  for (const char* kind :
       {"brightness", "contrast", "saturation", "sharpness", "gain", "temperature", "exposure",
        "focus", "zoom", "powerLineFrequency", "panTiltAbsolute", "panTiltRelative"})
    EXPECT_EQ(kinds.count(kind), 1u) << kind;
  EXPECT_EQ(controlOf(listed, 47)["valueMode"], "absolute");
}

TEST(CamknobSim, DemoSystemTakesEveryCommand) {
  struct Case {
    std::vector<std::string> arguments;
    unsigned control;
    std::string key;
    nlohmann::json value;
  };
  const Case cases[] = {
      {{"set", "--control", "zoom", "--value", "250"}, 49, "value", 250},
      {{"auto", "--control", "focus", "--enabled", "false"}, 48, "automatic", false},
      {{"on", "--control", "panTiltRelative", "--enabled", "yes"}, 52, "on", true},
      {{"move", "--pan", "1"}, 52, "nativeData", {1, 5, 0, 0}},
      {{"absolute", "--pan", "10.5", "--tilt", "-20.25"},
       51,
       "nativeData",
       {0xA8, 0x93, 0, 0, 0x3C, 0xE3, 0xFE, 0xFF}},
      {{"home"}, 51, "nativeData", {0, 0, 0, 0, 0, 0, 0, 0}},
      {{"set", "--device", "webcam", "--control", "brightness", "--value", "-12"},
       61,
       "value",
       -12},
  };
  for (const Case& c : cases) {
    const auto changed = response(camknobSim(c.arguments), 0);
    EXPECT_EQ(changed["ok"], true);
    EXPECT_EQ(controlOf(changed, c.control)[c.key], c.value) << c.arguments[0];
  }
  // The demo keeps nothing between runs.
  EXPECT_EQ(controlOf(response(camknobSim({}), 0), 49)["value"], 100);
}

TEST(CamknobSim, ChangesPersistInTheFixtureFile) {
  const std::string path = fixtureFile(fileText(examples + "/demo-system.json"));
  response(camknobSim({"set", "--control", "brightness", "--value", "200"}, path), 0);
  response(camknobSim({"home"}, path), 0);
  EXPECT_EQ(savedProperties(path, 41)["fcnv"], 200.0);
  const auto listed = response(camknobSim({"list"}, path), 0);
  EXPECT_EQ(controlOf(listed, 41)["value"], 200);
  // Everything else of the cameras is saved as it was.
  auto expected = response(camknobSim({}), 0);
  for (auto& control : expected["devices"][0]["controls"])
    if (control["objectId"] == 41) control["value"] = 200;
  EXPECT_EQ(listed, expected);
}

TEST(CamknobSim, DeviceSelectionFollowsListOrder) {
  const std::string path = fixtureFile(R"({"devices": [
    {"objectId": 10, "properties": {"uid ": "A1", "lnam": "Studio Camera"},
     "controls": [{"objectId": 11, "properties": {"clas": "brit", "fcnv": 1}, "settable": ["fcnv"]}]},
    {"objectId": 20, "properties": {"uid ": "camera", "lnam": "Camera"},
     "controls": [{"objectId": 21, "properties": {"clas": "brit", "fcnv": 1}, "settable": ["fcnv"]}]}]})");
  const auto byName = response(
      camknobSim({"set", "--device", "camera", "--control", "brightness", "--value", "5"}, path),
      0);
  EXPECT_EQ(controlOf(byName, 11)["value"], 5);  // the earlier device, by containment
  EXPECT_EQ(controlOf(byName, 21)["value"], 1);
  const auto missing = response(
      camknobSim({"set", "--device", "20", "--control", "brightness", "--value", "5"}, path), 1);
  EXPECT_EQ(missing["error"], "Camera device was not found.");
  EXPECT_EQ(missing["devices"].size(), 2u);
}

TEST(CamknobSim, ControlCharactersAndSlashesAreEscaped) {
  const std::string path = fixtureFile(R"({"devices": [
    {"objectId": 10, "properties": {"uid ": "a/b", "lnam": "Cam A/B \"1\"\t\u0001 caf\u00e9"},
     "controls": [{"objectId": 11, "properties": {"clas": "brit", "fcnv": 1},
                   "settable": ["fcnv"], "refuse": {"fcnv": 1}}]}]})");
  const ProcessResult refused =
      camknobSim({"set", "--control", "brightness", "--value", "2"}, path);
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_EQ(refused.err, "");
  EXPECT_NE(
      refused.out.find(R"("error":"Failed to set brightness: 1 (\u0000\u0000\u0000\u0001).")"),
      std::string::npos)
      << refused.out;
  EXPECT_NE(refused.out.find(R"("name":"Cam A\/B \"1\"\t\u0001 caf)"
                             "\xc3\xa9\""),
            std::string::npos)
      << refused.out;
  EXPECT_NE(refused.out.find(R"("uid":"a\/b")"), std::string::npos);
  EXPECT_EQ(response(refused, 1)["devices"][0]["name"], "Cam A/B \"1\"\t\x01 caf\xc3\xa9");
}

// A text is carried whole: past an embedded NUL, and with characters of every
// UTF-8 length.
TEST(CamknobSim, TextsComeOutWhole) {
  const std::string path = fixtureFile(R"({"devices": [
    {"objectId": 10, "properties": {"uid ": "N\u0000UL", "lmak": "\u0000",
                                    "lnam": "Cam\u0000era caf\u00e9 \u65e5\ud83d\udcf7"}}]})");
  const ProcessResult listed = camknobSim({"list"}, path);
  EXPECT_EQ(listed.out, R"({"devices":[{"controls":[],"manufacturer":"\u0000",)"
                        R"("name":"Cam\u0000era caf)"
                        "\xc3\xa9 \xe6\x97\xa5\xf0\x9f\x93\xb7"
                        R"(","objectId":10,"uid":"N\u0000UL"}],"ok":true})"
                        "\n");
  EXPECT_EQ(response(listed, 0)["devices"][0]["uid"], std::string("N\0UL", 4));
}

}  // namespace
}  // namespace camknob::testing
