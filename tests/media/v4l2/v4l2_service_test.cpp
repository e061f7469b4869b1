// The V4L2 service under the tool's own core, over a fake machine: what the
// listing shows, what each command sends to the driver, and how often the
// driver is asked.
#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

#include "commands/dispatch.h"
#include "discovery/list_devices.h"
#include "fake_cameras.h"
#include "media/property_access.h"
#include "support/run_command.h"

namespace camknob::v4l2 {
namespace {

using fake::FakeNode;
using fake::Machine;

void useNodes(std::vector<FakeNode> nodes) {
  fake::useMachine(Machine{std::move(nodes), {}});
}

const CameraControl& controlOfKind(const CameraDevice& device, std::string_view kind) {
  for (const CameraControl& control : device.controls)
    if (control.kind == kind) return control;
  ADD_FAILURE() << "no control of kind " << kind;
  static const CameraControl none{};
  return none;
}

using testing::Outcome;
using testing::run;

using Write = std::vector<std::pair<std::uint32_t, std::int32_t>>;

TEST(V4l2Service, ListsTheCameraWithItsControlsAndLeavesTheMetadataNodeOut) {
  useNodes({fake::ptzCamera(), fake::metadataNode()});
  const std::vector<CameraDevice> devices = listDevices();
  ASSERT_EQ(devices.size(), 1u);
  const CameraDevice& camera = devices[0];
  EXPECT_EQ(camera.objectId, 3u * 0x10000);  // video2
  EXPECT_EQ(camera.uid, "usb-dummy_hcd.0-1/1d6b:0102");
  EXPECT_EQ(camera.name, "Virtual PTZ Camera");
  EXPECT_EQ(camera.manufacturer, "camknob test");

  std::vector<std::string> kinds;
  for (const CameraControl& control : camera.controls) kinds.push_back(control.kind);
  // The automatic modes ride on their value controls; pan goes with tilt.
  EXPECT_EQ(kinds, (std::vector<std::string>{"brightness", "gain", "temperature", "exposure",
                                             "panTiltAbsolute", "focus", "zoom", "zoomRelative",
                                             "priv", "panTiltRelative"}));
  for (std::size_t i = 0; i < camera.controls.size(); ++i)
    EXPECT_EQ(camera.controls[i].objectId, camera.objectId + 1 + i);

  const CameraControl& brightness = controlOfKind(camera, "brightness");
  EXPECT_EQ(brightness.valueMode, ValueMode::Native);
  EXPECT_EQ(brightness.value, 0.0);
  EXPECT_EQ(brightness.minimum, -64.0);
  EXPECT_EQ(brightness.maximum, 64.0);
  EXPECT_TRUE(brightness.settable);
  EXPECT_EQ(brightness.name, "Brightness");
  EXPECT_EQ(brightness.automatic, std::nullopt);
  EXPECT_FALSE(brightness.onSettable);

  // Exposure time in seconds; the menu's aperture priority reads as automatic.
  const CameraControl& exposure = controlOfKind(camera, "exposure");
  EXPECT_EQ(exposure.classCode, "xpsr");
  EXPECT_EQ(exposure.valueMode, ValueMode::Absolute);
  EXPECT_EQ(exposure.value, double(0.0156f));
  EXPECT_EQ(exposure.minimum, 0.0003);
  EXPECT_EQ(exposure.maximum, 0.2047);
  EXPECT_EQ(exposure.automatic, true);
  EXPECT_TRUE(exposure.automaticSettable);

  const CameraControl& temperature = controlOfKind(camera, "temperature");
  EXPECT_EQ(temperature.valueMode, ValueMode::Absolute);
  EXPECT_EQ(temperature.value, 4600.0);
  EXPECT_EQ(temperature.automatic, true);
  EXPECT_EQ(controlOfKind(camera, "focus").automatic, false);

  // Pan 10°, tilt -2° in arc-seconds; ranges as the minimum and maximum records.
  const CameraControl& position = controlOfKind(camera, "panTiltAbsolute");
  EXPECT_EQ(position.nativeData,
            (std::vector<std::uint8_t>{0xA0, 0x8C, 0x00, 0x00, 0xE0, 0xE3, 0xFF, 0xFF}));
  EXPECT_EQ(position.nativeDataRange,
            (std::vector<std::uint8_t>{0xF0, 0x08, 0xF8, 0xFF, 0x60, 0x0E, 0xFB, 0xFF, 0x10, 0xF7,
                                       0x07, 0x00, 0x40, 0x7E, 0x05, 0x00}));
  EXPECT_TRUE(position.nativeDataSettable);
  EXPECT_EQ(position.value, std::nullopt);
  EXPECT_FALSE(position.settable);
  EXPECT_EQ(position.name, "Pan, Absolute + Tilt, Absolute");

  const CameraControl& speed = controlOfKind(camera, "panTiltRelative");
  EXPECT_EQ(speed.nativeData, (std::vector<std::uint8_t>{0xFF, 3, 0, 0}));
  EXPECT_EQ(speed.nativeDataRange, (std::vector<std::uint8_t>{0xFF, 12, 0xFF, 12, 1, 12, 1, 12}));
}

TEST(V4l2Service, EachCommandSendsTheDriverWhatItMeans) {
  struct Case {
    std::vector<std::string_view> command;
    Write sent;
  };
  const Case cases[] = {
      {{"set", "--control", "brightness", "--value", "-12.5"}, {{V4L2_CID_BRIGHTNESS, -13}}},
      // Seconds back to 100 µs steps.
      {{"set", "--control", "exposure", "--value", "0.01"}, {{V4L2_CID_EXPOSURE_ABSOLUTE, 100}}},
      // Kelvin on the control's 10 K steps, counted from its minimum.
      {{"set", "--control", "temperature", "--value", "5004"},
       {{V4L2_CID_WHITE_BALANCE_TEMPERATURE, 5000}}},
      {{"auto", "--control", "exposure", "--enabled", "off"},
       {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL}}},
      {{"auto", "--control", "exposure", "--enabled", "on"},
       {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY}}},
      {{"auto", "--control", "temperature", "--enabled", "no"}, {{V4L2_CID_AUTO_WHITE_BALANCE, 0}}},
      {{"auto", "--control", "focus", "--enabled", "yes"}, {{V4L2_CID_FOCUS_AUTO, 1}}},
      {{"absolute", "--pan", "10.5", "--tilt", "-20.25"},
       {{V4L2_CID_PAN_ABSOLUTE, 37800}, {V4L2_CID_TILT_ABSOLUTE, -72900}}},
      {{"home"}, {{V4L2_CID_PAN_ABSOLUTE, 0}, {V4L2_CID_TILT_ABSOLUTE, 0}}},
      {{"move", "--pan", "-1", "--tilt", "0.5"},
       {{V4L2_CID_PAN_SPEED, -5}, {V4L2_CID_TILT_SPEED, 3}}},
      {{"move"}, {{V4L2_CID_PAN_SPEED, 0}, {V4L2_CID_TILT_SPEED, 0}}},
  };
  for (const Case& c : cases) {
    useNodes({fake::ptzCamera()});
    const Outcome outcome = run(c.command);
    EXPECT_EQ(outcome.status, 0) << c.command[0] << " " << outcome.output;
    ASSERT_EQ(fake::machine().calls.writes.size(), 1u) << c.command[0];
    EXPECT_EQ(fake::machine().calls.writes[0], c.sent) << c.command[0];
  }
}

TEST(V4l2Service, AutomaticExposureFallsBackToFullAutoWithoutAperturePriority) {
  FakeNode camera = fake::ptzCamera();
  fake::useMachine(Machine{{camera}, {}});
  fake::controlOf(V4L2_CID_EXPOSURE_AUTO)->menuItems = {{V4L2_EXPOSURE_AUTO, "Auto Mode", 0},
                                                        {V4L2_EXPOSURE_MANUAL, "Manual Mode", 0}};
  fake::controlOf(V4L2_CID_EXPOSURE_AUTO)->value = V4L2_EXPOSURE_SHUTTER_PRIORITY;
  // Shutter priority leaves the exposure time to the user.
  EXPECT_EQ(controlOfKind(listDevices()[0], "exposure").automatic, false);
  EXPECT_EQ(run({"auto", "--control", "exposure", "--enabled", "1"}).status, 0);
  EXPECT_EQ(fake::machine().calls.writes.back(),
            (Write{{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO}}));
}

TEST(V4l2Service, RefusalsReadAsWhatStoppedThem) {
  struct Case {
    std::string name;
    std::uint32_t id;
    int error;
    std::uint32_t flags;
    std::vector<std::string_view> command;
    std::string message;
  };
  const Case cases[] = {
      {"locked by its automatic mode",
       V4L2_CID_EXPOSURE_ABSOLUTE,
       EACCES,
       0,
       {"set", "--control", "exposure", "--value", "0.02"},
       "Failed to set exposure: 1819239275 (lock)."},
      {"read-only",
       V4L2_CID_BRIGHTNESS,
       EACCES,
       V4L2_CTRL_FLAG_READ_ONLY,
       {"set", "--control", "brightness", "--value", "1"},
       "Failed to set brightness: 1919184750 (rdon)."},
      {"refused for no reason the state shows",
       V4L2_CID_FOCUS_ABSOLUTE,
       EACCES,
       0,
       {"set", "--control", "focus", "--value", "1"},
       "Failed to set focus: 1852797029 (nope)."},
      {"a value the driver rejects",
       V4L2_CID_ZOOM_ABSOLUTE,
       ERANGE,
       0,
       {"set", "--control", "zoom", "--value", "9"},
       "Failed to set zoom: 561406316 (!val)."},
      {"the device is gone",
       V4L2_CID_PAN_ABSOLUTE,
       ENODEV,
       0,
       {"home"},
       "Failed to center the camera: 1735356005 (gone)."},
      {"a busy device",
       V4L2_CID_PAN_SPEED,
       EBUSY,
       0,
       {"move", "--pan", "1"},
       "Failed to move the camera: 1651864441 (busy)."},
      {"the camera's wrong state",
       V4L2_CID_FOCUS_AUTO,
       EILSEQ,
       0,
       {"auto", "--control", "focus", "--enabled", "on"},
       "Failed to change automatic mode for focus: 561214561 (!sta)."},
      {"an error the tool has no word for",
       V4L2_CID_BRIGHTNESS,
       ENOSPC,
       0,
       {"set", "--control", "brightness", "--value", "1"},
       "Failed to set brightness: 1717660012 (fail)."},
  };
  for (const Case& c : cases) {
    useNodes({fake::ptzCamera()});
    fake::controlOf(c.id)->writeError = c.error;
    fake::controlOf(c.id)->description.flags |= c.flags;
    const Outcome outcome = run(c.command);
    EXPECT_EQ(outcome.status, 1) << c.name;
    EXPECT_NE(outcome.output.find("\"error\":\"" + c.message + "\""), std::string::npos)
        << c.name << ": " << outcome.output;
  }
}

TEST(V4l2Service, ValuesNoIntegerCanHoldAreRefusedBeforeTheDriver) {
  useNodes({fake::ptzCamera()});
  const Outcome outcome = run({"set", "--control", "brightness", "--value", "nan"});
  EXPECT_NE(outcome.output.find("Failed to set brightness: 561406316 (!val)."), std::string::npos);
  EXPECT_TRUE(fake::machine().calls.writes.empty());

  // Infinities and huge numbers reach the driver at the ends of the range.
  EXPECT_EQ(run({"set", "--control", "brightness", "--value", "-inf"}).status, 0);
  EXPECT_EQ(run({"set", "--control", "zoom", "--value", "1e30"}).status, 0);
  EXPECT_EQ(fake::machine().calls.writes,
            (std::vector<Write>{{{V4L2_CID_BRIGHTNESS, INT32_MIN}},
                                {{V4L2_CID_ZOOM_ABSOLUTE, INT32_MAX}}}));
}

TEST(V4l2Service, PanTiltRecordsOfTheWrongLengthAreRefusedUnwritten) {
  useNodes({fake::ptzCamera()});
  const auto camera = listDevices()[0];
  const ObjectId position = controlOfKind(camera, "panTiltAbsolute").objectId;
  const ObjectId speed = controlOfKind(camera, "panTiltRelative").objectId;
  const Status badSize = static_cast<Status>(fourCharCode("!siz"));
  EXPECT_EQ(writeBytes(position, selectors::nativeData, {1, 2, 3, 4}), badSize);
  EXPECT_EQ(writeBytes(speed, selectors::nativeData, {1, 2, 3, 4, 5, 6, 7, 8}), badSize);
  EXPECT_EQ(writeBytes(speed, selectors::nativeData, {}), badSize);
  EXPECT_TRUE(fake::machine().calls.writes.empty());
  // A direction of zero stops the axis whatever speed comes with it.
  EXPECT_EQ(writeBytes(speed, selectors::nativeData, {0x00, 9, 0x80, 200}), noErr);
  EXPECT_EQ(fake::machine().calls.writes.back(),
            (Write{{V4L2_CID_PAN_SPEED, 0}, {V4L2_CID_TILT_SPEED, -200}}));
  // Properties the driver owns cannot be written.
  EXPECT_EQ(writeUInt32(position, selectors::objectClass, 1),
            static_cast<Status>(fourCharCode("nope")));
  EXPECT_EQ(writeUInt32(position, selectors::automaticManual, 1),
            static_cast<Status>(fourCharCode("who?")));
  EXPECT_EQ(writeUInt32(7, selectors::automaticManual, 1),
            static_cast<Status>(fourCharCode("!obj")));
}

TEST(V4l2Service, DescribesOncePerRunAndReadsEachDevicesValuesInOneCall) {
  useNodes({fake::ptzCamera("video0"), fake::ptzCamera("video2", "2"), fake::metadataNode()});
  EXPECT_EQ(run({"set", "--control", "zoom", "--value", "200"}).status, 0);
  const fake::Calls& calls = fake::machine().calls;
  EXPECT_EQ(calls.opens, 3);
  EXPECT_EQ(calls.descriptions, 2);
  // Two looks at the cameras (before and after the change), one read each.
  EXPECT_EQ(calls.batchReads, 4);
  EXPECT_EQ(calls.singleReads, 0);
  EXPECT_EQ(calls.closes, 1);          // the metadata node
  EXPECT_EQ(calls.captureRecords, 0);  // needed only for nodes that cannot be opened
}

TEST(V4l2Service, ADriverThatRefusesBatchesIsReadOneValueAtATime) {
  FakeNode camera = fake::ptzCamera();
  camera.refusesBatches = true;
  camera.controls[0].readError = EIO;  // brightness cannot be read at all
  useNodes({camera});
  const CameraDevice device = listDevices()[0];
  EXPECT_EQ(controlOfKind(device, "brightness").value, std::nullopt);
  EXPECT_EQ(controlOfKind(device, "brightness").minimum, -64.0);
  EXPECT_EQ(controlOfKind(device, "gain").value, 10.0);
  EXPECT_EQ(fake::machine().calls.batchReads, 1);
  // Every V4L2 control read once, however many properties it feeds.
  EXPECT_EQ(fake::machine().calls.singleReads, int(camera.controls.size()));
}

TEST(V4l2Service, NodesThatCannotBeOpenedAreShownWhenTheyAreCameras) {
  FakeNode locked = fake::ptzCamera("video0");
  locked.openError = EACCES;
  locked.capabilities.reset();
  FakeNode lockedMetadata = fake::metadataNode("video1");
  lockedMetadata.openError = EACCES;
  FakeNode udevSaysOutput = fake::ptzCamera("video4");
  udevSaysOutput.openError = EPERM;
  udevSaysOutput.recordedCapture = false;
  FakeNode vanished = fake::ptzCamera("video5");
  vanished.openError = ENODEV;
  useNodes({locked, lockedMetadata, udevSaysOutput, vanished});

  const auto devices = listDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].objectId, 0x10000u);
  EXPECT_EQ(devices[0].uid, "usb-dummy_hcd.0-1/1d6b:0102");
  EXPECT_EQ(devices[0].name, "Virtual PTZ Camera");
  EXPECT_TRUE(devices[0].controls.empty());
}

TEST(V4l2Service, OnlyCaptureNodesAreCameras) {
  auto withCaps = [](std::string name, std::uint32_t caps) {
    FakeNode node = fake::ptzCamera(std::move(name));
    node.capabilities->deviceCaps = caps;
    return node;
  };
  useNodes({withCaps("video0", V4L2_CAP_VIDEO_OUTPUT), withCaps("video1", V4L2_CAP_RADIO),
            withCaps("video2", V4L2_CAP_VIDEO_M2M_MPLANE),
            withCaps("video3", V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_OUTPUT),
            withCaps("video4", V4L2_CAP_VIDEO_CAPTURE_MPLANE),
            withCaps("video5", fake::captureCaps)});
  const auto devices = listDevices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].objectId, 5u * 0x10000);
  EXPECT_EQ(devices[1].objectId, 6u * 0x10000);
}

TEST(V4l2Service, UidsTellEveryCameraApartAndStayTheSameNextRun) {
  FakeNode second = fake::ptzCamera("video3", "1");
  second.facts.index = 2;                          // a second capture node of the same camera
  FakeNode twin = fake::ptzCamera("video7", "1");  // claims the same identity
  FakeNode platform = fake::ptzCamera("video9");
  platform.capabilities->busInfo = "platform:vivid-000";
  platform.facts = NodeFacts{};
  FakeNode nameless = fake::ptzCamera("video11");
  nameless.capabilities->busInfo = "";
  nameless.capabilities->card = "";
  nameless.facts = NodeFacts{};
  nameless.facts.name = "fallback name";
  const std::vector<FakeNode> nodes{fake::ptzCamera("video0", "1"),
                                    fake::ptzCamera("video1", "4"),
                                    second,
                                    twin,
                                    platform,
                                    nameless};
  useNodes(nodes);
  const auto first = listDevices();
  std::vector<std::string> uids;
  for (const CameraDevice& device : first) uids.push_back(device.uid);
  EXPECT_EQ(uids, (std::vector<std::string>{
                      "usb-dummy_hcd.0-1/1d6b:0102", "usb-dummy_hcd.0-4/1d6b:0102",
                      "usb-dummy_hcd.0-1/1d6b:0102#2", "usb-dummy_hcd.0-1/1d6b:0102@video7",
                      "platform:vivid-000", "video4linux:video11"}));
  EXPECT_EQ(first.back().name, "fallback name");

  useNodes(nodes);  // the next run looks at the same machine afresh
  const auto again = listDevices();
  ASSERT_EQ(again.size(), first.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(again[i].objectId, first[i].objectId);
    EXPECT_EQ(again[i].uid, first[i].uid);
    ASSERT_EQ(again[i].controls.size(), first[i].controls.size());
    for (std::size_t c = 0; c < first[i].controls.size(); ++c)
      EXPECT_EQ(again[i].controls[c].objectId, first[i].controls[c].objectId);
  }
}

TEST(V4l2Service, OddBytesInNamesNeverSpoilTheResponse) {
  FakeNode camera = fake::ptzCamera();
  camera.capabilities->card = "Cam\xff\xfe X";
  camera.controls[0].description.name = "Bright\xc3";
  useNodes({camera});
  const Outcome listed = run({"list"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_NE(listed.output.find("\"name\":\"Cam\xEF\xBF\xBD\xEF\xBF\xBD X\""), std::string::npos);
  EXPECT_NE(listed.output.find("\"name\":\"Bright\xEF\xBF\xBD\""), std::string::npos);
}

TEST(V4l2Service, ControlsWithoutTheirPartnersStandOnTheirOwn) {
  FakeNode camera = fake::ptzCamera();
  camera.controls = {
      fake::boolean(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic", 1),
      fake::integer(V4L2_CID_PAN_ABSOLUTE, "Pan, Absolute", -522000, 522000, 5400, 3600),
      fake::integer(V4L2_CID_TILT_SPEED, "Tilt, Speed", -1, 1, 0),
      fake::integer(0x0098f901, "Driver Special", 0, 9, 4),
      fake::FakeControl{fake::described(0x0098f902, V4L2_CTRL_TYPE_INTEGER64, "Wide", 0, 1), 0},
      fake::FakeControl{fake::described(V4L2_CID_HFLIP, V4L2_CTRL_TYPE_BOOLEAN, "Flip", 0, 1, 1,
                                        V4L2_CTRL_FLAG_DISABLED),
                        0},
  };
  useNodes({camera});
  const CameraDevice device = listDevices()[0];
  std::vector<std::string> kinds;
  for (const CameraControl& control : device.controls) kinds.push_back(control.kind);
  EXPECT_EQ(kinds, (std::vector<std::string>{"awbl", "pan", "tlsp", "0x0098f901"}));
  EXPECT_EQ(device.controls[0].value, 1.0);
  EXPECT_EQ(device.controls[0].automatic, std::nullopt);
  // Pan on its own in degrees.
  EXPECT_EQ(device.controls[1].valueMode, ValueMode::Absolute);
  EXPECT_EQ(device.controls[1].value, 1.5);
  EXPECT_EQ(device.controls[1].maximum, 145.0);

  EXPECT_EQ(run({"set", "--control", "0x0098f901", "--value", "7"}).status, 0);
  EXPECT_EQ(run({"set", "--control", "pan", "--value", "-2.3"}).status, 0);
  EXPECT_EQ(fake::machine().calls.writes,
            (std::vector<Write>{{{0x0098f901, 7}}, {{V4L2_CID_PAN_ABSOLUTE, -7200}}}));
}

}  // namespace
}  // namespace camknob::v4l2
