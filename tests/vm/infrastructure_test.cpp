// Checks of the VM test infrastructure itself: the guest's devices, the
// virtual camera as uvcvideo sees it (through v4l2-ctl, a generic V4L2
// utility), and the step runner.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "vm_plan.h"

namespace camknob::vmtests {

namespace {

using vm::Step;

std::string inGuestCameraLog(const std::string& command) {
  return command + " && cat " + vm::guestCameraLog;
}

}  // namespace

std::vector<Step> infrastructureSteps(const GuestPrograms& programs) {
  std::vector<Step> steps = {
      {"vm.nodes",
       {"sh", "-c",
        "ls -l /dev/video*; for n in /sys/class/video4linux/video*; do echo \"${n##*/}: $(cat "
        "$n/name)\"; done"}},
      {"vm.usb-device",
       {"sh", "-c",
        "cd /sys/bus/usb/devices/1-1 && cat idVendor idProduct manufacturer product serial"}},
      {"vm.unprivileged-open", {"sh", "-c", "id -u; id -g; exec 3< /dev/video0"}, {}, true},
      {"vm.streams", {"sh", "-c", "printf 'out\\000\\001\\377'; echo err >&2; exit 3"}},
      {"vm.environment",
       {"sh", "-c", "printf %s \"$CAMKNOB_VM_PROBE\""},
       {"CAMKNOB_VM_PROBE=it's \"quoted\" $HOME"}},
      {"vm.signal", {"sh", "-c", "kill -TERM $$"}},
      {"vm.time-limit", {"sleep", "5"}, {}, false, 300},
      {"vm.wall-time", {"usleep", "200000"}},
      {"vm.cannot-start", {"/bin/no-such-program"}},
      // A program built here (with sanitizers, in a sanitizer build) runs in
      // the guest with its libraries, also as the unprivileged user.
      {"vm.camknob-runs", {"camknob", "list"}},
      {"vm.camknob-runs-unprivileged", {"camknob", "list"}, {}, true},
  };
  if (!programs.v4l2Ctl) return steps;
  const std::vector<Step> controlSteps = {
      {"vm.vivid-info", {"v4l2-ctl", "-d", vividNode, "--info"}},
      {"vm.vivid-controls", {"v4l2-ctl", "-d", vividNode, "--list-ctrls"}},
      {"vm.camera-info", {"v4l2-ctl", "-d", cameraNode, "--info"}},
      {"vm.camera-metadata-info", {"v4l2-ctl", "-d", cameraMetadataNode, "--info"}},
      {"vm.camera-controls", {"v4l2-ctl", "-d", cameraNode, "--list-ctrls-menus"}},
      // Out of range, and a negative tilt speed below the driver's minimum.
      {"vm.camera-set",
       {"sh", "-c",
        inGuestCameraLog(": > /tmp/camera.log && v4l2-ctl -d /dev/video1 --set-ctrl "
                         "brightness=-20,zoom_absolute=9999,pan_speed=5,tilt_speed=-3")}},
      {"vm.camera-read-back",
       {"v4l2-ctl", "-d", cameraNode, "--get-ctrl",
        "brightness,zoom_absolute,pan_speed,tilt_speed"}},
      // Exposure time while auto exposure is in aperture priority mode.
      {"vm.camera-locked",
       {"sh", "-c",
        ": > /tmp/camera.log; v4l2-ctl -d /dev/video1 --set-ctrl exposure_time_absolute=100; "
        "echo status $?; cat /tmp/camera.log"}},
      {"vm.camera-restore",
       {"sh", "-c",
        "v4l2-ctl -d /dev/video1 --set-ctrl brightness=0,zoom_absolute=100,pan_speed=0,tilt_speed=0"
        " && : > /tmp/camera.log"}},
  };
  steps.insert(steps.end(), controlSteps.begin(), controlSteps.end());
  if (programs.strace)
    steps.push_back(
        {"vm.strace",
         {"strace", "-e", "trace=ioctl", "v4l2-ctl", "-d", vividNode, "--get-ctrl", "brightness"}});
  return steps;
}

namespace {

bool hasV4l2Ctl() {
  return guestPrograms().v4l2Ctl.has_value();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// v4l2-ctl's control lines, "  name 0x00980900 (int)    : min=0 max=255 ...",
// as name to "(type) min=0 max=255 ..." with only the key=value fields.
std::map<std::string, std::string> listedControls(const std::string& text) {
  std::map<std::string, std::string> controls;
  for (const std::string& line : lines(text)) {
    std::istringstream words(line);
    std::string name, id, type, colon, word;
    if (!(words >> name >> id >> type >> colon) || id.rfind("0x", 0) != 0 || colon != ":") continue;
    std::string fields = type;
    while (words >> word)
      if (word.find('=') != std::string::npos) fields += ' ' + word;
    controls[name] = fields;
  }
  return controls;
}

TEST(VmGuest, RanEveryStep) {
  const vm::Boot& boot = sharedBoot();
  EXPECT_EQ(boot.status, vm::BootStatus::booted) << boot.whyNot;
  std::set<std::string> arrived;
  for (const vm::StepResult& step : boot.steps) arrived.insert(step.name);
  for (const vm::Step& step : vmGuest().steps)
    EXPECT_EQ(arrived.count(step.name), 1u) << "no result from step " << step.name;
}

TEST(VmGuest, HasVividThenTheVirtualCameraCaptureAndMetadataNodes) {
  const vm::StepResult* nodes = stepResult("vm.nodes");
  ASSERT_NE(nodes, nullptr);
  const std::vector<std::string> output = lines(nodes->out);
  ASSERT_EQ(output.size(), 6u) << nodes->out << nodes->err;
  for (int i = 0; i < 3; ++i) {
    // devtmpfs leaves them to root alone.
    EXPECT_EQ(output[i].substr(0, 10), "crw-------") << output[i];
    EXPECT_NE(output[i].find("/dev/video" + std::to_string(i)), std::string::npos) << output[i];
  }
  EXPECT_EQ(output[3], "video0: vivid-000-vid-cap");
  EXPECT_EQ(output[4], "video1: Virtual PTZ Camera");
  EXPECT_EQ(output[5], "video2: Virtual PTZ Camera");
}

TEST(VmGuest, VirtualCameraEnumeratesWithItsIdentity) {
  const vm::StepResult* device = stepResult("vm.usb-device");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->out, "1209\n0001\ncamknob test\nVirtual PTZ Camera\nCKVC-0001\n")
      << device->err;
}

TEST(VmGuest, UnprivilegedUserCannotOpenRootOnlyNodes) {
  const vm::StepResult* open = stepResult("vm.unprivileged-open");
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(open->out, "65534\n65534\n");
  EXPECT_NE(open->exitStatus, 0);
  EXPECT_NE(open->err.find("Permission denied"), std::string::npos) << open->err;
}

TEST(StepRunner, KeepsOutputAndErrorApartByteForByte) {
  const vm::StepResult* streams = stepResult("vm.streams");
  ASSERT_NE(streams, nullptr);
  EXPECT_EQ(streams->out, std::string("out\0\1\377", 6));
  EXPECT_EQ(streams->err, "err\n");
  EXPECT_EQ(streams->exitStatus, 3);
  EXPECT_EQ(streams->signal, 0);
  EXPECT_FALSE(streams->timedOut);
}

TEST(StepRunner, AddsEnvironmentVariablesExactly) {
  const vm::StepResult* environment = stepResult("vm.environment");
  ASSERT_NE(environment, nullptr);
  EXPECT_EQ(environment->out, "it's \"quoted\" $HOME");
}

TEST(StepRunner, ReportsTheSignalThatEndedAStep) {
  const vm::StepResult* signal = stepResult("vm.signal");
  ASSERT_NE(signal, nullptr);
  EXPECT_EQ(signal->exitStatus, -1);
  EXPECT_EQ(signal->signal, 15);
}

TEST(StepRunner, StopsAStepAtItsTimeLimit) {
  const vm::StepResult* limited = stepResult("vm.time-limit");
  ASSERT_NE(limited, nullptr);
  EXPECT_TRUE(limited->timedOut);
  EXPECT_EQ(limited->signal, 9);
  EXPECT_GE(limited->wallNanoseconds, 300'000'000);
  EXPECT_LT(limited->wallNanoseconds, 5'000'000'000);
}

TEST(StepRunner, MeasuresWallTime) {
  const vm::StepResult* timed = stepResult("vm.wall-time");
  ASSERT_NE(timed, nullptr);
  EXPECT_EQ(timed->exitStatus, 0);
  EXPECT_GE(timed->wallNanoseconds, 200'000'000);
  EXPECT_LT(timed->wallNanoseconds, 5'000'000'000);
}

TEST(StepRunner, ReportsAProgramThatCannotStart) {
  const vm::StepResult* missing = stepResult("vm.cannot-start");
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->exitStatus, -1);
  EXPECT_EQ(missing->err, "/bin/no-such-program: No such file or directory\n");
}

TEST(VmGuest, RunsProgramsBuiltHereAsRootAndAsNobody) {
  for (const char* name : {"vm.camknob-runs", "vm.camknob-runs-unprivileged"}) {
    const vm::StepResult* run = stepResult(name);
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->exitStatus, 0) << name << ": " << run->err;
    EXPECT_EQ(run->err, "") << name;
    EXPECT_EQ(run->out.substr(0, 1), "{") << name << ": " << run->out;
  }
}

TEST(Vivid, IsACaptureDeviceWithUserControls) {
  if (!hasV4l2Ctl()) GTEST_SKIP() << "no v4l2-ctl on this machine";
  const vm::StepResult* info = stepResult("vm.vivid-info");
  const vm::StepResult* controls = stepResult("vm.vivid-controls");
  ASSERT_NE(info, nullptr);
  ASSERT_NE(controls, nullptr);
  EXPECT_NE(info->out.find("Card type        : vivid\n"), std::string::npos) << info->out;
  EXPECT_NE(info->out.find("Bus info         : platform:vivid-000\n"), std::string::npos);
  const auto listed = listedControls(controls->out);
  EXPECT_EQ(listed.at("brightness"),
            "(int) min=0 max=255 step=1 default=128 value=128 flags=slider");
  EXPECT_EQ(listed.at("hue"), "(int) min=-128 max=128 step=1 default=0 value=0 flags=slider");
  EXPECT_EQ(listed.count("gain_automatic"), 1u) << controls->out;
}

TEST(VmGuest, StraceTracesIoctlsInTheGuest) {
  if (!hasV4l2Ctl() || !guestPrograms().strace) GTEST_SKIP() << "no v4l2-ctl or strace here";
  const vm::StepResult* traced = stepResult("vm.strace");
  ASSERT_NE(traced, nullptr);
  EXPECT_EQ(traced->exitStatus, 0) << traced->err;
  EXPECT_EQ(traced->out, "brightness: 128\n");
  EXPECT_NE(traced->err.find("ioctl(3, VIDIOC_QUERYCAP"), std::string::npos) << traced->err;
}

TEST(VirtualCamera, HasACaptureNodeAndAMetadataNode) {
  if (!hasV4l2Ctl()) GTEST_SKIP() << "no v4l2-ctl on this machine";
  const vm::StepResult* capture = stepResult("vm.camera-info");
  const vm::StepResult* metadata = stepResult("vm.camera-metadata-info");
  ASSERT_NE(capture, nullptr);
  ASSERT_NE(metadata, nullptr);
  for (const vm::StepResult* node : {capture, metadata}) {
    EXPECT_NE(node->out.find("Driver name      : uvcvideo\n"), std::string::npos) << node->out;
    EXPECT_NE(node->out.find("Card type        : Virtual PTZ Camera\n"), std::string::npos);
    EXPECT_NE(node->out.find("Bus info         : usb-dummy_hcd.0-1\n"), std::string::npos);
  }
  // What each node itself does: the "Device Caps" part after the device's.
  const auto deviceCaps = [](const std::string& out) {
    return out.substr(out.find("Device Caps"));
  };
  EXPECT_NE(deviceCaps(capture->out).find("Video Capture"), std::string::npos) << capture->out;
  EXPECT_EQ(deviceCaps(metadata->out).find("Video Capture"), std::string::npos) << metadata->out;
  EXPECT_NE(deviceCaps(metadata->out).find("Metadata Capture"), std::string::npos);
}

TEST(VirtualCamera, UvcvideoExposesEveryControlWithTheServedRangesAndValues) {
  if (!hasV4l2Ctl()) GTEST_SKIP() << "no v4l2-ctl on this machine";
  const vm::StepResult* controls = stepResult("vm.camera-controls");
  ASSERT_NE(controls, nullptr);
  const std::map<std::string, std::string> expected = {
      {"brightness", "(int) min=-64 max=64 step=1 default=0 value=0"},
      {"contrast", "(int) min=0 max=100 step=1 default=50 value=60"},
      {"saturation", "(int) min=0 max=100 step=1 default=64 value=64"},
      {"hue", "(int) min=-180 max=180 step=1 default=0 value=0"},
      {"white_balance_automatic", "(bool) default=1 value=1"},
      {"gamma", "(int) min=72 max=500 step=1 default=100 value=120"},
      {"gain", "(int) min=0 max=100 step=1 default=0 value=0"},
      {"power_line_frequency", "(menu) min=0 max=2 default=1 value=1"},
      {"hue_automatic", "(bool) default=0 value=0"},
      {"white_balance_temperature",
       "(int) min=2800 max=6500 step=10 default=4600 value=5000 flags=inactive"},
      {"sharpness", "(int) min=0 max=7 step=1 default=3 value=3"},
      {"backlight_compensation", "(int) min=0 max=2 step=1 default=1 value=1"},
      {"auto_exposure", "(menu) min=0 max=3 default=3 value=3"},
      {"exposure_time_absolute",
       "(int) min=3 max=2047 step=1 default=250 value=333 flags=inactive"},
      {"exposure_dynamic_framerate", "(bool) default=0 value=0"},
      {"pan_absolute", "(int) min=-612000 max=612000 step=3600 default=0 value=0"},
      {"tilt_absolute", "(int) min=-108000 max=324000 step=3600 default=0 value=0"},
      {"focus_absolute", "(int) min=0 max=250 step=5 default=0 value=40 flags=inactive"},
      {"focus_automatic_continuous", "(bool) default=1 value=1"},
      {"zoom_absolute", "(int) min=100 max=500 step=1 default=100 value=100"},
      // The driver's reading of relative controls: a speed's minimum is
      // negated, zoom's is not, and a stopped control reads 0.
      {"zoom_continuous", "(int) min=1 max=7 step=1 default=1 value=0"},
      {"privacy", "(bool) default=0 value=0"},
      {"pan_speed", "(int) min=-1 max=24 step=1 default=1 value=0"},
      {"tilt_speed", "(int) min=-1 max=20 step=1 default=1 value=0"},
  };
  EXPECT_EQ(listedControls(controls->out), expected) << controls->out;
  // Auto exposure offers the modes the camera's bitmap has: manual and
  // aperture priority.
  EXPECT_NE(controls->out.find("\t\t\t\t1: Manual Mode\n\t\t\t\t3: Aperture Priority Mode\n"),
            std::string::npos)
      << controls->out;
  EXPECT_EQ(controls->out.find("Auto Mode"), std::string::npos);
}

TEST(VirtualCamera, WritesReachTheCameraAsTheDriverClampsThem) {
  if (!hasV4l2Ctl()) GTEST_SKIP() << "no v4l2-ctl on this machine";
  const vm::StepResult* set = stepResult("vm.camera-set");
  const vm::StepResult* readBack = stepResult("vm.camera-read-back");
  ASSERT_NE(set, nullptr);
  ASSERT_NE(readBack, nullptr);
  EXPECT_EQ(set->exitStatus, 0) << set->err;
  // Zoom 9999 arrives as the maximum 500; tilt speed -3 as the driver's
  // minimum -1 (direction 0xff, speed 1).
  const std::vector<std::string> received = lines(set->out);
  EXPECT_EQ(std::set<std::string>(received.begin(), received.end()),
            (std::set<std::string>{"SET_CUR unit=2 selector=0x02 len=2 data=ec ff",
                                   "SET_CUR unit=1 selector=0x0b len=2 data=f4 01",
                                   "SET_CUR unit=1 selector=0x0e len=4 data=01 05 ff 01"}))
      << set->out;
  EXPECT_EQ(received.size(), 3u);
  EXPECT_EQ(readBack->out, "brightness: -20\nzoom_absolute: 500\npan_speed: 5\ntilt_speed: -1\n");
}

TEST(VirtualCamera, DriverRefusesExposureTimeWhileAutoExposureIsOn) {
  if (!hasV4l2Ctl()) GTEST_SKIP() << "no v4l2-ctl on this machine";
  const vm::StepResult* locked = stepResult("vm.camera-locked");
  ASSERT_NE(locked, nullptr);
  EXPECT_NE(locked->err.find("Permission denied"), std::string::npos) << locked->err;
  // Nothing reached the camera.
  EXPECT_EQ(locked->out.find("SET_CUR"), std::string::npos) << locked->out;
  EXPECT_EQ(locked->out.find("status 0"), std::string::npos) << locked->out;
}

TEST(VirtualCamera, InfrastructureStepsLeaveTheControlsAsTheyStarted) {
  if (!hasV4l2Ctl()) GTEST_SKIP() << "no v4l2-ctl on this machine";
  const vm::StepResult* restore = stepResult("vm.camera-restore");
  ASSERT_NE(restore, nullptr);
  EXPECT_EQ(restore->exitStatus, 0) << restore->err;
}

}  // namespace

}  // namespace camknob::vmtests
