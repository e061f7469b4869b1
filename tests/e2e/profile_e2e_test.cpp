// camknob-profile as a process over the simulated service: a saved profile
// restores a camera after every control was changed; hostile profiles change
// nothing; answers, messages and exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "e2e/e2e_support.h"
#include "support/json_entries.h"

namespace camknob::testing {
namespace {

using nlohmann::json;

const std::string examples = CAMKNOB_EXAMPLES_DIR;

ProcessResult profileSim(const std::vector<std::string>& arguments,
                         const std::optional<std::string>& fixturePath) {
  return runProcess(CAMKNOB_PROFILE_SIM_PATH, arguments, fixturePath);
}

std::string demoCopy() {
  return fixtureFile(fileText(examples + "/demo-system.json"));
}

std::string folderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

json listed(const std::string& fixture) {
  return response(camknobSim({"list"}, fixture), 0);
}

json deviceWithUid(const json& response, const std::string& uid) {
  return entryWhere(response, "devices", "uid", uid);
}

json controlWithId(const json& device, const json& objectId) {
  return entryWhere(device, "controls", "objectId", objectId);
}

std::string numberText(double value) {
  return json(value).dump();
}

// Changes every property a profile saved of the camera, each to a value it
// did not have, through camknob-sim's own commands.
void changeEverything(const std::string& fixture, const json& profile, const json& camera) {
  const std::string uid = camera["uid"];
  const auto run = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin() + 1, {"--device", uid});
    response(camknobSim(arguments, fixture), 0);
  };
  for (std::size_t i = 0; i < profile["controls"].size(); ++i) {
    const json& saved = profile["controls"][i];
    const std::string kind = saved["kind"];
    // The demo camera's kinds are all distinct. Not const: a key the control
    // lacks then reads as null.
    json control = entryWhere(camera, "controls", "kind", kind);
    ASSERT_FALSE(control.empty()) << kind;
    // The value first, while the automatic mode may still let it be set.
    if (saved.contains("automatic") && saved["automatic"] == true)
      run({"auto", "--control", kind, "--enabled", "off"});
    if (saved.contains("value")) {
      const double value = saved["value"];
      const double changed =
          value != control["minimum"].get<double>() ? control["minimum"] : control["maximum"];
      run({"set", "--control", kind, "--value", numberText(changed)});
    }
    if (saved.contains("automatic") && saved["automatic"] == false)
      run({"auto", "--control", kind, "--enabled", "on"});
    if (saved.contains("on"))
      run({"on", "--control", kind, "--enabled", saved["on"] == true ? "off" : "on"});
    if (saved.contains("nativeData")) run({"absolute", "--pan", "-40", "--tilt", "30"});
  }
}

TEST(Profile, ASavedProfileRestoresEveryChangedControl) {
  const std::string fixture = demoCopy();
  // A state worth keeping: exposure, focus and white balance set by hand,
  // gain left to its automatic mode, the camera turned away from home.
  for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
           {"auto", "--control", "exposure", "--enabled", "off"},
           {"set", "--control", "exposure", "--value", "0.01"},
           {"auto", "--control", "focus", "--enabled", "off"},
           {"set", "--control", "focus", "--value", "77"},
           {"auto", "--control", "temperature", "--enabled", "off"},
           {"set", "--control", "temperature", "--value", "5200"},
           {"set", "--control", "brightness", "--value", "200"},
           {"set", "--control", "zoom", "--value", "321"},
           {"absolute", "--pan", "20", "--tilt", "-5"}})
    response(camknobSim(command, fixture), 0);
  const json before = deviceWithUid(listed(fixture), "SIM-PTZ-0001");

  const std::string file = folderOf(fixture) + "/ptz.json";
  const json saved = response(profileSim({"save", file}, fixture), 0);
  EXPECT_EQ(saved, json::parse(R"({"controls":12,"file":")" + file +
                               R"(","name":"PTZ Pro USB Camera","ok":true,"uid":"SIM-PTZ-0001"})"));
  const json profile = json::parse(fileText(file));
  ASSERT_EQ(profile["controls"].size(), 12u);

  changeEverything(fixture, profile, before);
  const json changed = deviceWithUid(listed(fixture), "SIM-PTZ-0001");
  for (const json& kept : profile["controls"]) {
    const json& kind = kept["kind"];
    json now = entryWhere(changed, "controls", "kind", kind);
    for (const auto& [key, value] : kept.items()) {
      if (key == "kind" || key == "valueMode") continue;
      EXPECT_NE(now[key], value) << kind << "." << key << " was not changed";
    }
  }

  const ProcessResult applied = profileSim({"apply", file}, fixture);
  const json answer = response(applied, 0);
  EXPECT_EQ(answer["ok"], true);
  EXPECT_FALSE(answer.contains("error"));
  for (const json& step : answer["controls"]) {
    const bool heldByAutomaticMode =
        step["result"] == "skipped" && step.value("reason", "") == "automatic";
    EXPECT_TRUE(step["result"] == "applied" || heldByAutomaticMode) << step.dump();
  }

  // Everything as it was, but the value of gain, which its automatic mode
  // decides; the answer's device is the camera as read afterwards.
  const json after = deviceWithUid(listed(fixture), "SIM-PTZ-0001");
  EXPECT_EQ(answer["device"], after);
  json expected = before;
  for (json& control : expected["controls"])
    if (control["kind"] == "gain")
      control["value"] = controlWithId(after, control["objectId"])["value"];
  EXPECT_EQ(after, expected);
  EXPECT_NE(controlWithId(after, 45)["value"], controlWithId(before, 45)["value"]);
}

TEST(Profile, AutomaticModesComeFirstAndHoldTheirValues) {
  const std::string fixture = demoCopy();
  const std::string file = folderOf(fixture) + "/demo.json";
  response(profileSim({"save", file}, fixture), 0);
  // Exposure is automatic in the demo: switched off and moved, it is
  // switched back on and its value left to it.
  response(camknobSim({"auto", "--control", "exposure", "--enabled", "off"}, fixture), 0);
  response(camknobSim({"set", "--control", "exposure", "--value", "0.1"}, fixture), 0);
  const json answer = response(profileSim({"apply", file}, fixture), 0);
  std::vector<std::string> order;
  for (const json& step : answer["controls"]) {
    order.push_back(step["kind"].get<std::string>() + "." + step["property"].get<std::string>());
    if (step["kind"] == "exposure" && step["property"] == "value") {
      EXPECT_EQ(step, json::parse(R"({"kind":"exposure","objectId":47,"property":"value",
                                      "reason":"automatic","result":"skipped"})"));
    }
  }
  EXPECT_EQ(order, (std::vector<std::string>{
                       "gain.automatic", "temperature.automatic", "exposure.automatic",
                       "focus.automatic", "panTiltAbsolute.on", "panTiltRelative.on",
                       "brightness.value", "contrast.value", "saturation.value", "sharpness.value",
                       "gain.value", "temperature.value", "exposure.value", "focus.value",
                       "zoom.value", "powerLineFrequency.value", "panTiltAbsolute.nativeData"}));
  EXPECT_EQ(controlWithId(answer["device"], 47)["automatic"], true);
  EXPECT_EQ(controlWithId(answer["device"], 47)["value"], double(0.1f));
}

TEST(Profile, SavesToStandardOutputAndAppliesFromStandardInput) {
  const std::string fixture = demoCopy();
  const ProcessResult printed = profileSim({"save", "--device", "webcam"}, fixture);
  EXPECT_EQ(printed.exitStatus, 0);
  EXPECT_EQ(printed.err, "");
  const std::string file = folderOf(fixture) + "/webcam.json";
  response(profileSim({"save", "--device", "webcam", file}, fixture), 0);
  EXPECT_EQ(printed.out, fileText(file));  // the same document either way
  EXPECT_EQ(printed.out, profileSim({"save", "--device", "webcam", "-"}, fixture).out);

  response(
      camknobSim({"set", "--device", "webcam", "--control", "brightness", "--value", "9"}, fixture),
      0);
  const ProcessResult applied = runWithInput(CAMKNOB_PROFILE_SIM_PATH, {"apply"}, fixture, file);
  const json answer = response(applied, 0);
  EXPECT_EQ(answer["device"]["uid"], "SIM-WEBCAM-0002");  // by the profile's uid
  EXPECT_EQ(controlWithId(answer["device"], 61)["value"], 0);
}

TEST(Profile, AppliesToTheCameraOfItsUidElseOfItsNameElseTheOneNamed) {
  const std::string fixture = demoCopy();
  const std::string file = folderOf(fixture) + "/webcam.json";
  response(profileSim({"save", "--device", "webcam", file}, fixture), 0);
  json profile = json::parse(fileText(file));

  profile["uid"] = "A-WEBCAM-MOVED-TO-ANOTHER-PORT";
  writeFile(file, profile.dump());
  EXPECT_EQ(response(profileSim({"apply", file}, fixture), 0)["device"]["uid"], "SIM-WEBCAM-0002");

  // --device wins; controls the camera lacks are skipped.
  const json forced = response(profileSim({"apply", "--device", "PTZ", file}, fixture), 0);
  EXPECT_EQ(forced["device"]["uid"], "SIM-PTZ-0001");
  bool skippedAbsent = false;
  for (const json& step : forced["controls"])
    skippedAbsent =
        skippedAbsent || (step.value("reason", "") == "absent" && !step.contains("objectId"));
  EXPECT_TRUE(skippedAbsent) << forced.dump();

  profile["name"] = "No Such Camera";
  writeFile(file, profile.dump());
  EXPECT_EQ(profileSim({"apply", file}, fixture).out,
            "{\"controls\":[],\"error\":\"Camera device was not found.\",\"ok\":false}\n");
  EXPECT_EQ(profileSim({"apply", file}, fixture).exitStatus, 1);
  EXPECT_EQ(profileSim({"save", "--device", "nothing"}, fixture).out,
            "{\"error\":\"Camera device was not found.\",\"ok\":false}\n");
}

TEST(Profile, AControlThatRefusesFailsTheRunButTheOthersAreApplied) {
  const std::string fixture = fixtureFile(R"({"devices": [
    {"objectId": 10, "properties": {"uid ": "C", "lnam": "Cam"},
     "controls": [
       {"objectId": 11, "properties": {"clas": "brit", "fcnv": 5}, "settable": ["fcnv"]},
       {"objectId": 12, "properties": {"clas": "zoom", "fcnv": 1}, "settable": ["fcnv"],
        "refuse": {"fcnv": 1819239275}}]}]})");
  const std::string file = folderOf(fixture) + "/p.json";
  writeFile(file, R"({"camknobProfile": 1, "uid": "C", "name": "Cam", "controls": [
    {"kind": "brightness", "valueMode": "native", "value": 6},
    {"kind": "zoom", "valueMode": "native", "value": 2}]})");
  const json answer = response(profileSim({"apply", file}, fixture), 1);
  EXPECT_EQ(answer["ok"], false);
  EXPECT_EQ(answer["error"], "Not every control took its value.");
  EXPECT_EQ(answer["controls"], json::parse(R"([
    {"kind":"brightness","objectId":11,"property":"value","result":"applied"},
    {"error":"Failed to set zoom: 1819239275 (lock).","kind":"zoom","objectId":12,
     "property":"value","result":"refused"}])"));
  EXPECT_EQ(savedProperties(fixture, 11)["fcnv"], 6.0);
  EXPECT_EQ(savedProperties(fixture, 12)["fcnv"], 1.0);
}

TEST(Profile, AHostileProfileGetsOneLineOnStandardErrorAndChangesNothing) {
  const std::string fixture = demoCopy();
  const std::string folder = folderOf(fixture);
  const std::string good = R"({"camknobProfile": 1, "uid": "SIM-PTZ-0001", "name": "x",
    "controls": [{"kind": "brightness", "valueMode": "native", "value": 1}, )";
  struct Case {
    std::string name;
    std::optional<std::string> text;  // nothing: the path is used as it is
    std::string fault;
  };
  const std::vector<Case> cases{
      {"syntax.json", "{\"camknobProfile\": 1,", "line 1, column 22: expected a string as a key"},
      {"types.json", good + R"({"kind": "zoom", "valueMode": "native", "value": "300"}]})",
       "controls[1].value: expected a number, not a string"},
      {"kind.json", good + R"({"kind": "zooom", "valueMode": "native", "value": 300}]})",
       "controls[1].kind: unknown kind \"zooom\""},
      {"flag.json", good + R"({"kind": "focus", "automatic": 0}]})",
       "controls[1].automatic: expected true or false, not a number"},
      {"large.json", good + std::string(10 << 20, ' ') + "]}", "larger than 1 MiB"},
      {"response.json", fileText(examples + "/usb-camera.json"),
       "not a camknob profile (no \"camknobProfile\": 1)"},
      {"binary\x01.json", std::string("\x00\xff", 2), "line 1, column 1: invalid literal"},
      {"missing.json", std::nullopt, "cannot read: No such file or directory"},
      {".", std::nullopt, "cannot read: Is a directory"},
  };
  const std::string fixtureBefore = fileText(fixture);
  for (const Case& c : cases) {
    const std::string path = c.name == "." ? folder : folder + "/" + c.name;
    if (c.text) writeFile(path, *c.text);
    const ProcessResult run = profileSim({"apply", path}, fixture);
    EXPECT_EQ(run.exitStatus, 2) << c.name;
    EXPECT_EQ(run.out, "") << c.name;
    std::string shownPath = path;
    if (c.name.find('\x01') != std::string::npos)
      shownPath = folder + "/binary\\x01.json";  // one line, whatever the name holds
    const std::string lead = "camknob-profile: profile " + shownPath + ": ";
    EXPECT_EQ(run.err.substr(0, lead.size()), lead) << run.err;
    EXPECT_NE(run.err.find(c.fault), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_EQ(fileText(fixture), fixtureBefore);  // no write reached the camera

  const std::string notAProfile = folder + "/array.json";
  writeFile(notAProfile, "[]\n");
  const ProcessResult fromInput =
      runWithInput(CAMKNOB_PROFILE_SIM_PATH, {"apply", "-"}, fixture, notAProfile);
  EXPECT_EQ(fromInput.exitStatus, 2);
  EXPECT_EQ(fromInput.err,
            "camknob-profile: profile (standard input): not a camknob profile "
            "(no \"camknobProfile\": 1)\n");
}

TEST(Profile, CommandLineMistakesAreAnsweredLikeCamknobsOwn) {
  const std::string usage =
      R"({"error":"Usage: camknob-profile save|apply [--device D] [FILE].","ok":false})";
  const std::string applyUsage =
      R"({"controls":[],"error":"Usage: camknob-profile save|apply [--device D] [FILE].","ok":false})";
  struct Case {
    std::vector<std::string> arguments;
    std::string line;
  };
  const std::vector<Case> cases{
      {{}, usage},
      {{"load"}, R"({"error":"Unknown command: load.","ok":false})"},
      {{"SAVE"}, R"({"error":"Unknown command: SAVE.","ok":false})"},
      {{"save", "--devcie", "x"}, usage},
      {{"save", "a.json", "b.json"}, usage},
      {{"apply", "--device"}, applyUsage},
      {{"apply", "-x"}, applyUsage},
  };
  for (const Case& c : cases) {
    const ProcessResult run = profileSim(c.arguments, std::nullopt);
    EXPECT_EQ(run.out, c.line + "\n");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "");
  }
  const ProcessResult help = profileSim({"--help"}, std::nullopt);
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.out.substr(0, 40), "Usage: camknob-profile save  [--device D");
}

TEST(Profile, SavingReplacesTheFileWholeKeepingItsModeAndItsLinks) {
  const std::string fixture = demoCopy();
  const std::string folder = folderOf(fixture);
  const json missing = response(profileSim({"save", folder + "/no/such/p.json"}, fixture), 1);
  EXPECT_EQ(missing["error"],
            "Cannot write " + folder + "/no/such/p.json: No such file or directory.");

  const std::string target = folder + "/kept.json";
  writeFile(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const std::string link = folder + "/link.json";
  std::filesystem::create_symlink(target, link);
  response(profileSim({"save", link}, fixture), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(json::parse(fileText(target))["uid"], "SIM-PTZ-0001");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    EXPECT_EQ(entry.path().filename().string().rfind(".camknob-", 0), std::string::npos)
        << "a temporary file was left: " << entry.path();
}

TEST(Profile, AnAnswerThatCannotBeWrittenIsAFailure) {
  const std::string fixture = demoCopy();
  EXPECT_EQ(runProcess(CAMKNOB_PROFILE_SIM_PATH, {"save"}, fixture, Output::Full).exitStatus, 1);
  const std::string file = folderOf(fixture) + "/p.json";
  response(profileSim({"save", file}, fixture), 0);
  EXPECT_EQ(
      runProcess(CAMKNOB_PROFILE_SIM_PATH, {"apply", file}, fixture, Output::Closed).exitStatus, 1);
}

}  // namespace
}  // namespace camknob::testing
