// camknob-profile on the virtual UVC camera: a profile saved, every control
// changed with camknob, the profile applied, every control as it was saved.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "step_answers.h"
#include "support/json_entries.h"
#include "vm_plan.h"

namespace camknob::vmtests {

namespace {

using nlohmann::json;
using vm::Step;

constexpr const char* profilePath = "/tmp/camera-profile.json";
constexpr const char* cameraName = "Virtual PTZ Camera";

// camknob commands run one after the other in one step, each answer dropped;
// the step fails at the first that fails.
Step commands(const std::string& name, const std::vector<std::string>& lines) {
  std::string script = "set -e";
  for (const std::string& line : lines)
    script += "; camknob " + line + " --device 'Virtual PTZ' >/dev/null";
  return {name, {"sh", "-c", script}};
}

Step cameraLog(const std::string& name) {
  return {name,
          {"sh", "-c", std::string("cat ") + vm::guestCameraLog + "; : > " + vm::guestCameraLog}};
}

}  // namespace

std::vector<Step> profileSteps(const GuestPrograms&) {
  return {
      // A state worth keeping: exposure, focus and white balance by hand,
      // everything away from where the camera starts.
      commands(
          "pf.prepare",
          {"auto --control exposure --enabled off", "set --control exposure --value 0.02",
           "auto --control focus --enabled off", "set --control focus --value 95",
           "auto --control temperature --enabled off", "set --control temperature --value 5200",
           "set --control hue --value 30", "set --control brightness --value 17",
           "set --control contrast --value 33", "set --control saturation --value 44",
           "set --control sharpness --value 5", "set --control gamma --value 150",
           "set --control gain --value 20", "set --control powerLineFrequency --value 0",
           "set --control backlightCompensation --value 2", "set --control dyfr --value 1",
           "set --control zoom --value 250", "absolute --pan 20 --tilt -10"}),
      {"pf.save", {"camknob-profile", "save", "--device", "Virtual PTZ", profilePath}},
      {"pf.profile", {"cat", profilePath}},
      {"pf.saved", {"camknob", "list"}},
      // Every control to another value; values first, while no automatic
      // mode holds them.
      commands("pf.change", {"set --control exposure --value 0.05",
                             "auto --control exposure --enabled on",
                             "set --control focus --value 150",
                             "auto --control focus --enabled on",
                             "set --control temperature --value 3000",
                             "auto --control temperature --enabled on",
                             "set --control hue --value -40",
                             "auto --control hue --enabled on",
                             "set --control brightness --value -30",
                             "set --control contrast --value 80",
                             "set --control saturation --value 90",
                             "set --control sharpness --value 1",
                             "set --control gamma --value 300",
                             "set --control gain --value 70",
                             "set --control powerLineFrequency --value 2",
                             "set --control backlightCompensation --value 0",
                             "set --control dyfr --value 0",
                             "set --control priv --value 1",
                             "set --control zoom --value 450",
                             "absolute --pan -30 --tilt 15"}),
      {"pf.changed", {"camknob", "list"}},
      cameraLog("pf.clear-log"),
      {"pf.apply", {"camknob-profile", "apply", profilePath}},
      cameraLog("pf.apply.received"),
      {"pf.applied", {"camknob", "list"}},
      // A profile naming a kind no camera has changes nothing at all.
      {"pf.hostile",
       {"sh", "-c",
        std::string("printf '%s' '{\"camknobProfile\": 1, \"uid\": \"x\", \"name\": \"y\", "
                    "\"controls\": [{\"kind\": \"brightness\", \"valueMode\": \"native\", "
                    "\"value\": 1}, {\"kind\": \"zooom\", \"on\": true}]}' > /tmp/bad.json; "
                    "exec camknob-profile apply /tmp/bad.json")}},
      cameraLog("pf.hostile.received"),
  };
}

namespace {

// The camera as a camknob list step read it.
json camera(const char* listStep) {
  return testing::entryWhere(stepAnswer(listStep, 0), "devices", "name", cameraName);
}

json controlOfKind(const json& device, const json& kind) {
  return testing::entryWhere(device, "controls", "kind", kind);
}

TEST(ProfileInVm, SavesTheCamerasSettableState) {
  const json saved = stepAnswer("pf.save", 0);
  EXPECT_EQ(saved["ok"], true);
  EXPECT_EQ(saved["uid"], "usb-dummy_hcd.0-1/1209:0001");
  EXPECT_EQ(saved["file"], profilePath);
  const json profile = stepJson("pf.profile", 0);
  EXPECT_EQ(profile["uid"], "usb-dummy_hcd.0-1/1209:0001");
  EXPECT_EQ(profile["name"], cameraName);
  std::vector<std::string> kinds;
  for (const json& control : profile["controls"]) kinds.push_back(control["kind"]);
  // Continuous zoom and relative pan/tilt are movements, not states.
  EXPECT_EQ(kinds, (std::vector<std::string>{"brightness", "contrast", "saturation", "hue", "gamma",
                                             "gain", "powerLineFrequency", "temperature",
                                             "sharpness", "backlightCompensation", "exposure",
                                             "dyfr", "panTiltAbsolute", "focus", "zoom", "priv"}));
  EXPECT_EQ(saved["controls"], kinds.size());
}

TEST(ProfileInVm, RestoresEveryControlAfterEachWasChanged) {
  const json profile = stepJson("pf.profile", 0);
  const json saved = camera("pf.saved");
  const json changed = camera("pf.changed");
  const json applied = camera("pf.applied");
  ASSERT_TRUE(profile.contains("controls"));
  for (const json& kept : profile["controls"]) {
    const json& kind = kept["kind"];
    // Not const: a key a control lacks then reads as null.
    json before = controlOfKind(saved, kind);
    json between = controlOfKind(changed, kind);
    json after = controlOfKind(applied, kind);
    for (const auto& [key, value] : kept.items()) {
      if (key == "kind") continue;
      EXPECT_EQ(before[key], value) << kind << "." << key << " saved otherwise than it read";
      if (key != "valueMode") {
        EXPECT_NE(between[key], value) << kind << "." << key << " was never changed";
      }
      EXPECT_EQ(after[key], value) << kind << "." << key << " not restored";
    }
  }

  const json answer = stepAnswer("pf.apply", 0);
  EXPECT_EQ(answer["ok"], true);
  for (const json& step : answer["controls"]) EXPECT_EQ(step["result"], "applied") << step.dump();
  EXPECT_EQ(answer["device"], applied);
}

TEST(ProfileInVm, SwitchesAnAutomaticModeOffBeforeWritingTheValueItHeld) {
  const vm::StepResult* log = stepResult("pf.apply.received");
  ASSERT_NE(log, nullptr);
  // Camera terminal: auto-exposure mode 0x02 (manual is 1), exposure time 0x04.
  const auto modeOff = log->out.find("SET_CUR unit=1 selector=0x02 len=1 data=01");
  const auto time = log->out.find("SET_CUR unit=1 selector=0x04");
  EXPECT_NE(modeOff, std::string::npos) << log->out;
  EXPECT_NE(time, std::string::npos) << log->out;
  EXPECT_LT(modeOff, time) << log->out;
}

TEST(ProfileInVm, AHostileProfileReachesNoCamera) {
  const vm::StepResult* run = stepResult("pf.hostile");
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(run->exitStatus, 2);
  EXPECT_EQ(run->out, "");
  EXPECT_EQ(run->err,
            "camknob-profile: profile /tmp/bad.json: controls[1].kind: unknown kind \"zooom\"\n");
  const vm::StepResult* log = stepResult("pf.hostile.received");
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log->out, "");
}

}  // namespace
}  // namespace camknob::vmtests
