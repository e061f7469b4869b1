// camknob on the kernel's own drivers: vivid, and uvcvideo bound to the
// virtual camera. Every command runs in the shared guest; the camera's log
// shows what reached it, and the tool's next listing what the driver reports.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "ioctl_count.h"
#include "step_answers.h"
#include "support/json_entries.h"
#include "vm_plan.h"

namespace camknob::vmtests {

namespace {

using nlohmann::json;
using vm::Step;

constexpr const char* camera = "Virtual PTZ";  // --device by part of the name

// Runs camknob with the arguments; a second step then gives what the camera
// received meanwhile and empties its log.
void addCommand(std::vector<Step>& steps, const std::string& name,
                std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "camknob");
  steps.push_back({name, arguments});
  steps.push_back(
      {name + ".received",
       {"sh", "-c", std::string("cat ") + vm::guestCameraLog + "; : > " + vm::guestCameraLog}});
}

}  // namespace

std::vector<Step> camknobSteps(const GuestPrograms& programs) {
  std::vector<Step> steps{
      {"ck.clear-log", {"sh", "-c", std::string(": > ") + vm::guestCameraLog}},
      {"ck.list", {"camknob", "list"}},
      {"ck.list-again", {"camknob"}},
      {"ck.list-unprivileged", {"camknob", "list"}, {}, true},
  };
  addCommand(steps, "ck.set",
             {"set", "--device", camera, "--control", "brightness", "--value", "-20"});
  addCommand(steps, "ck.set-locked",
             {"set", "--device", camera, "--control", "exposure", "--value", "0.05"});
  addCommand(steps, "ck.auto-off",
             {"auto", "--device", camera, "--control", "exposure", "--enabled", "off"});
  addCommand(steps, "ck.set-unlocked",
             {"set", "--device", camera, "--control", "exposure", "--value", "0.05"});
  addCommand(steps, "ck.auto-on",
             {"auto", "--device", camera, "--control", "exposure", "--enabled", "on"});
  addCommand(steps, "ck.move", {"move", "--device", camera, "--pan", "1", "--tilt", "-0.5"});
  addCommand(steps, "ck.move-stop", {"move", "--device", camera});
  addCommand(steps, "ck.absolute",
             {"absolute", "--device", camera, "--pan", "10.5", "--tilt", "-20.25"});
  addCommand(steps, "ck.home", {"home", "--device", camera});
  addCommand(steps, "ck.focus-manual",
             {"auto", "--device", camera, "--control", "focus", "--enabled", "no"});
  addCommand(steps, "ck.focus", {"set", "--device", camera, "--control", "focus", "--value", "92"});
  addCommand(steps, "ck.on", {"on", "--device", camera, "--control", "zoom", "--enabled", "on"});
  const std::vector<Step> vivid{
      {"ck.vivid-set",
       {"camknob", "set", "--device", "vivid", "--control", "brightness", "--value", "200"}},
      {"ck.vivid-private",
       {"camknob", "set", "--device", "vivid", "--control", "0x0098f902", "--value", "-42"}},
      {"ck.vivid-read-only",
       {"camknob", "set", "--device", "vivid", "--control", "0x0098f90c", "--value", "1"}},
      {"ck.vivid-gain-manual",
       {"camknob", "auto", "--device", "vivid", "--control", "gain", "--enabled", "false"}},
  };
  steps.insert(steps.end(), vivid.begin(), vivid.end());
  if (programs.strace) {
    // Every ioctl, with the opens that say which node each descriptor is.
    steps.push_back({"ck.trace", {"strace", "-e", "trace=openat,ioctl", "camknob", "list"}});
    if (programs.v4l2Ctl)
      steps.push_back(
          {"ck.trace-v4l2-ctl",
           {"strace", "-e", "trace=openat,ioctl", "v4l2-ctl", "-d", cameraNode, "--list-ctrls"}});
  }
  return steps;
}

namespace {

std::string received(const std::string& stepName) {
  const vm::StepResult* log = stepResult(stepName + ".received");
  return log == nullptr ? "" : log->out;
}

json deviceNamed(const json& listed, const std::string& name) {
  return testing::entryWhere(listed, "devices", "name", name);
}

json controlOf(const json& device, const std::string& kind) {
  return testing::entryWhere(device, "controls", "kind", kind);
}

json cameraControl(const char* stepName, int exitStatus, const std::string& kind) {
  return controlOf(deviceNamed(stepAnswer(stepName, exitStatus), "Virtual PTZ Camera"), kind);
}

std::vector<std::uint8_t> positionBytes(std::int32_t pan, std::int32_t tilt) {
  std::vector<std::uint8_t> bytes;
  for (const std::int32_t value : {pan, tilt})
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(std::uint8_t(static_cast<std::uint32_t>(value) >> shift));
  return bytes;
}

TEST(CamknobInVm, ListsVividAndTheCameraButNotTheMetadataNode) {
  const json listed = stepAnswer("ck.list", 0);
  ASSERT_EQ(listed["devices"].size(), 2u) << listed.dump();
  const json& vivid = listed["devices"][0];
  const json& camera = listed["devices"][1];
  EXPECT_EQ(vivid["objectId"], 0x10000);
  EXPECT_EQ(vivid["uid"], "platform:vivid-000");
  EXPECT_EQ(vivid["name"], "vivid");
  EXPECT_FALSE(vivid.contains("manufacturer"));
  EXPECT_EQ(camera["objectId"], 0x20000);
  EXPECT_EQ(camera["uid"], "usb-dummy_hcd.0-1/1209:0001");
  EXPECT_EQ(camera["name"], "Virtual PTZ Camera");
  EXPECT_EQ(camera["manufacturer"], "camknob test");

  std::vector<std::string> kinds;
  for (const json& control : camera["controls"]) kinds.push_back(control["kind"]);
  EXPECT_EQ(kinds, (std::vector<std::string>{"brightness", "contrast", "saturation", "hue", "gamma",
                                             "gain", "powerLineFrequency", "temperature",
                                             "sharpness", "backlightCompensation", "exposure",
                                             "dyfr", "panTiltAbsolute", "focus", "zoom",
                                             "zoomRelative", "priv", "panTiltRelative"}));
}

TEST(CamknobInVm, ShowsTheCamerasValuesRangesAndAutomaticModes) {
  const json camera = deviceNamed(stepAnswer("ck.list", 0), "Virtual PTZ Camera");
  const json brightness = controlOf(camera, "brightness");
  EXPECT_EQ(brightness["value"], 0);
  EXPECT_EQ(brightness["minimum"], -64);
  EXPECT_EQ(brightness["maximum"], 64);
  EXPECT_EQ(brightness["valueMode"], "native");
  EXPECT_EQ(brightness["settable"], true);
  EXPECT_EQ(brightness["name"], "Brightness");
  EXPECT_FALSE(brightness.contains("automatic"));

  // Exposure time in seconds, held by aperture priority; still settable: the
  // driver decides.
  const json exposure = controlOf(camera, "exposure");
  EXPECT_EQ(exposure["classCode"], "xpsr");
  EXPECT_EQ(exposure["valueMode"], "absolute");
  EXPECT_EQ(exposure["value"], double(0.0333f));
  EXPECT_EQ(exposure["minimum"], 0.0003);
  EXPECT_EQ(exposure["maximum"], 0.2047);
  EXPECT_EQ(exposure["automatic"], true);
  EXPECT_EQ(exposure["automaticSettable"], true);
  EXPECT_EQ(exposure["settable"], true);

  const json temperature = controlOf(camera, "temperature");
  EXPECT_EQ(temperature["value"], 5000);
  EXPECT_EQ(temperature["valueMode"], "absolute");
  EXPECT_EQ(temperature["automatic"], true);
  EXPECT_EQ(controlOf(camera, "hue")["automatic"], false);
  EXPECT_EQ(controlOf(camera, "focus")["automatic"], true);
  EXPECT_EQ(controlOf(camera, "focus")["value"], 40);

  // The driver's own reading of continuous zoom: stopped at 0, minimum 1.
  const json zoomRelative = controlOf(camera, "zoomRelative");
  EXPECT_EQ(zoomRelative["value"], 0);
  EXPECT_EQ(zoomRelative["minimum"], 1);
  EXPECT_EQ(zoomRelative["maximum"], 7);

  const json position = controlOf(camera, "panTiltAbsolute");
  EXPECT_EQ(position["nativeData"], json(positionBytes(0, 0)));
  std::vector<std::uint8_t> range = positionBytes(-612000, -108000);
  const std::vector<std::uint8_t> highest = positionBytes(612000, 324000);
  range.insert(range.end(), highest.begin(), highest.end());
  EXPECT_EQ(position["nativeDataRange"], json(range));
  EXPECT_EQ(position["nativeDataSettable"], true);
  EXPECT_FALSE(position.contains("value"));

  // Speeds -1..24 and -1..20 as the driver gives them.
  const json speed = controlOf(camera, "panTiltRelative");
  EXPECT_EQ(speed["nativeData"], json({0, 0, 0, 0}));
  EXPECT_EQ(speed["nativeDataRange"], json({255, 1, 255, 1, 1, 24, 1, 20}));
  EXPECT_EQ(speed["onSettable"], false);
}

TEST(CamknobInVm, TwoRunsGiveTheSameIdsAndUids) {
  const json first = stepAnswer("ck.list", 0);
  const json second = stepAnswer("ck.list-again", 0);
  ASSERT_EQ(first["devices"].size(), second["devices"].size());
  for (std::size_t d = 0; d < first["devices"].size(); ++d) {
    const json& a = first["devices"][d];
    const json& b = second["devices"][d];
    EXPECT_EQ(a["objectId"], b["objectId"]);
    EXPECT_EQ(a["uid"], b["uid"]);
    ASSERT_EQ(a["controls"].size(), b["controls"].size());
    for (std::size_t c = 0; c < a["controls"].size(); ++c) {
      EXPECT_EQ(a["controls"][c]["objectId"], b["controls"][c]["objectId"]);
      EXPECT_EQ(a["controls"][c]["kind"], b["controls"][c]["kind"]);
    }
  }
}

TEST(CamknobInVm, AUserWhoMayNotOpenTheNodesStillSeesTheCameras) {
  const json root = stepAnswer("ck.list", 0);
  const json nobody = stepAnswer("ck.list-unprivileged", 0);
  ASSERT_EQ(nobody["devices"].size(), 2u) << nobody.dump();
  for (std::size_t d = 0; d < 2; ++d) {
    EXPECT_EQ(nobody["devices"][d]["objectId"], root["devices"][d]["objectId"]);
    EXPECT_EQ(nobody["devices"][d]["controls"], json::array());
  }
  // Without the node, names come from sysfs; a USB camera's uid is built
  // from sysfs the same way, while vivid's bus cannot be known.
  EXPECT_EQ(nobody["devices"][0]["name"], "vivid-000-vid-cap");
  EXPECT_EQ(nobody["devices"][0]["uid"], "video4linux:video0");
  EXPECT_EQ(nobody["devices"][1]["name"], "Virtual PTZ Camera");
  EXPECT_EQ(nobody["devices"][1]["uid"], root["devices"][1]["uid"]);
  EXPECT_EQ(nobody["devices"][1]["manufacturer"], "camknob test");
}

TEST(CamknobInVm, SetChangesWhatTheCameraReports) {
  EXPECT_EQ(cameraControl("ck.set", 0, "brightness")["value"], -20);
  EXPECT_EQ(received("ck.set"), "SET_CUR unit=2 selector=0x02 len=2 data=ec ff\n");
}

TEST(CamknobInVm, AControlHeldByItsAutomaticModeIsRefusedAsLocked) {
  const json refused = stepAnswer("ck.set-locked", 1);
  EXPECT_EQ(refused["error"], "Failed to set exposure: 1819239275 (lock).");
  EXPECT_EQ(received("ck.set-locked"), "");  // the driver never asked the camera
  EXPECT_EQ(controlOf(deviceNamed(refused, "Virtual PTZ Camera"), "exposure")["value"],
            double(0.0333f));
}

TEST(CamknobInVm, AutomaticOffThenSetTakesTheValue) {
  EXPECT_EQ(cameraControl("ck.auto-off", 0, "exposure")["automatic"], false);
  EXPECT_EQ(received("ck.auto-off"), "SET_CUR unit=1 selector=0x02 len=1 data=01\n");
  const json exposure = cameraControl("ck.set-unlocked", 0, "exposure");
  EXPECT_EQ(exposure["value"], double(0.05f));
  EXPECT_EQ(received("ck.set-unlocked"), "SET_CUR unit=1 selector=0x04 len=4 data=f4 01 00 00\n");
  // Back on: aperture priority, the automatic mode this camera offers.
  EXPECT_EQ(cameraControl("ck.auto-on", 0, "exposure")["automatic"], true);
  EXPECT_EQ(received("ck.auto-on"), "SET_CUR unit=1 selector=0x02 len=1 data=08\n");
}

TEST(CamknobInVm, MoveSendsTheSpeedsAndStopsWithZeros) {
  // Pan 1 at the default speed is 5; tilt -0.5 is 3 down, which the driver
  // limits to its minimum of -1.
  const json moving = cameraControl("ck.move", 0, "panTiltRelative");
  EXPECT_EQ(received("ck.move"), "SET_CUR unit=1 selector=0x0e len=4 data=01 05 ff 01\n");
  EXPECT_EQ(moving["nativeData"], json({1, 5, 255, 1}));
  const json stopped = cameraControl("ck.move-stop", 0, "panTiltRelative");
  EXPECT_EQ(received("ck.move-stop"), "SET_CUR unit=1 selector=0x0e len=4 data=00 00 00 00\n");
  EXPECT_EQ(stopped["nativeData"], json({0, 0, 0, 0}));
}

TEST(CamknobInVm, AbsoluteAndHomeDriveThePositionTheCameraReadsBack) {
  // 10.5° and -20.25° in arc-seconds, put on the camera's 1° steps by the
  // driver: 11° and -20°, both in one request.
  const json moved = cameraControl("ck.absolute", 0, "panTiltAbsolute");
  EXPECT_EQ(received("ck.absolute"),
            "SET_CUR unit=1 selector=0x0d len=8 data=b0 9a 00 00 c0 e6 fe ff\n");
  EXPECT_EQ(moved["nativeData"], json(positionBytes(39600, -72000)));
  const json home = cameraControl("ck.home", 0, "panTiltAbsolute");
  EXPECT_EQ(received("ck.home"),
            "SET_CUR unit=1 selector=0x0d len=8 data=00 00 00 00 00 00 00 00\n");
  EXPECT_EQ(home["nativeData"], json(positionBytes(0, 0)));
}

TEST(CamknobInVm, FocusTurnsManualAndMoves) {
  EXPECT_EQ(cameraControl("ck.focus-manual", 0, "focus")["automatic"], false);
  EXPECT_EQ(received("ck.focus-manual"), "SET_CUR unit=1 selector=0x08 len=1 data=00\n");
  // 92 on the focus's steps of 5 is 90.
  EXPECT_EQ(cameraControl("ck.focus", 0, "focus")["value"], 90);
  EXPECT_EQ(received("ck.focus"), "SET_CUR unit=1 selector=0x06 len=2 data=5a 00\n");
}

TEST(CamknobInVm, NoControlHasAnOnSwitch) {
  const json refused = stepAnswer("ck.on", 1);
  EXPECT_EQ(refused["error"], "Failed to toggle zoom: 2003332927 (who?).");
  EXPECT_EQ(received("ck.on"), "");
}

TEST(CamknobInVm, VividTakesUserAndPrivateControlsAndRefusesReadOnlyOnes) {
  EXPECT_EQ(controlOf(deviceNamed(stepAnswer("ck.vivid-set", 0), "vivid"), "brightness")["value"],
            200);
  const json special =
      controlOf(deviceNamed(stepAnswer("ck.vivid-private", 0), "vivid"), "0x0098f902");
  EXPECT_EQ(special["value"], -42);
  EXPECT_EQ(special["classCode"], "0x0098f902");
  EXPECT_EQ(special["name"], "Integer 32 Bits");
  EXPECT_EQ(stepAnswer("ck.vivid-read-only", 1)["error"],
            "Failed to set 0x0098f90c: 1919184750 (rdon).");
  const json gain = controlOf(deviceNamed(stepAnswer("ck.vivid-gain-manual", 0), "vivid"), "gain");
  EXPECT_EQ(gain["automatic"], false);
}

TEST(CamknobInVm, ListsTheCameraWithFewerIoctlsPerControlThanV4l2Ctl) {
  if (!guestPrograms().strace || !guestPrograms().v4l2Ctl)
    GTEST_SKIP() << "no strace or v4l2-ctl on this machine";
  const vm::StepResult* ours = stepResult("ck.trace");
  const vm::StepResult* theirs = stepResult("ck.trace-v4l2-ctl");
  ASSERT_NE(ours, nullptr);
  ASSERT_NE(theirs, nullptr);
  // 24 V4L2 controls on the camera.
  const int controls = 24;
  const int camknobCalls = ioctlsOn(ours->err, cameraNode);
  const int v4l2CtlCalls = ioctlsOn(theirs->err, cameraNode);
  std::printf(
      "ioctls on the camera for a listing: camknob %d (%.2f per control), "
      "v4l2-ctl --list-ctrls %d (%.2f per control)\n",
      camknobCalls, double(camknobCalls) / controls, v4l2CtlCalls, double(v4l2CtlCalls) / controls);
  EXPECT_GT(camknobCalls, controls);  // every control described
  EXPECT_LE(camknobCalls, 2 * controls);
  EXPECT_LT(camknobCalls, v4l2CtlCalls);
}

}  // namespace
}  // namespace camknob::vmtests
