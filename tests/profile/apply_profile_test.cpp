// What a profile keeps of a camera, and how one is applied: the order of the
// writes, what is skipped and why, and what became of each write.
#include "profile/apply_profile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "discovery/list_devices.h"
#include "media/fourcc_and_status_text.h"
#include "media/sim/sim_store.h"
#include "profile/profile_reading.h"
#include "profile/saved_profile.h"
#include "support/sim_support.h"

namespace camknob {
namespace {

// One camera with a control of every shape a profile meets.
constexpr std::string_view camera = R"({"devices": [
  {"objectId": 10, "properties": {"uid ": "CAM-1", "lnam": "Camera"},
   "controls": [
     {"objectId": 11, "properties": {"clas": "brit", "fcnv": 5, "fcnr": [0, 9]},
      "settable": ["fcnv"]},
     {"objectId": 12, "properties": {"clas": "xpsr", "fcav": 0.5, "fcar": [0, 1], "fcam": 1},
      "settable": ["fcav", "fcam"]},
     {"objectId": 13, "properties": {"clas": "fcus", "fcnv": 3, "fcam": 0},
      "settable": ["fcnv", "fcam"]},
     {"objectId": 14, "properties": {"clas": "gain", "fcnv": 2}},
     {"objectId": 15, "properties": {"clas": "ptab", "fcnd": [1, 2, 3, 4, 5, 6, 7, 8], "fcoo": 1},
      "settable": ["fcnd", "fcoo"]},
     {"objectId": 16, "properties": {"clas": "ptrl", "fcnd": [0, 0, 0, 0], "fcoo": 0},
      "settable": ["fcnd", "fcoo"]},
     {"objectId": 17, "properties": {"clas": "zomr", "fcnv": 0}, "settable": ["fcnv"]},
     {"objectId": 18, "properties": {"clas": "pan ", "fcav": 12, "fcar": [-90, 90]},
      "settable": ["fcav"]},
     {"objectId": 19, "properties": {"clas": "brit", "fcnv": 7}, "settable": ["fcnv"]},
     {"objectId": 20, "properties": {"clas": "tilt", "fcnv": 1, "fcam": 1},
      "refuse": {"fcam": -50}}]}]})";

ProfileControl entry(std::string kind) {
  return ProfileControl{.kind = std::move(kind),
                        .automatic = std::nullopt,
                        .on = std::nullopt,
                        .valueMode = std::nullopt,
                        .value = std::nullopt,
                        .nativeData = std::nullopt};
}

ProfileControl valued(std::string kind, ValueMode mode, double value) {
  ProfileControl control = entry(std::move(kind));
  control.valueMode = mode;
  control.value = value;
  return control;
}

TEST(SavedProfile, KeepsWhatTheCameraLetsBeChangedAndNoMovement) {
  testing::useFixture(camera);
  const std::vector<CameraDevice> devices = listDevices();
  ASSERT_EQ(devices.size(), 1u);
  const Profile profile = savedProfile(devices[0]);
  EXPECT_EQ(profile.uid, "CAM-1");
  EXPECT_EQ(profile.name, "Camera");

  std::vector<std::string> kinds;
  for (const ProfileControl& control : profile.controls) kinds.push_back(control.kind);
  // gain can be changed in no way; continuous zoom is a movement; a
  // switch that is not settable (tilt's automatic mode) is not kept.
  EXPECT_EQ(kinds, (std::vector<std::string>{"brightness", "exposure", "focus", "panTiltAbsolute",
                                             "panTiltRelative", "pan", "brightness"}));
  const auto& c = profile.controls;
  EXPECT_EQ(c[0].value, 5);
  EXPECT_EQ(c[0].valueMode, ValueMode::Native);
  EXPECT_FALSE(c[0].automatic);
  EXPECT_EQ(c[1].automatic, true);
  EXPECT_EQ(c[1].valueMode, ValueMode::Absolute);
  EXPECT_EQ(c[1].value, 0.5);
  EXPECT_EQ(c[2].automatic, false);
  EXPECT_EQ(c[3].nativeData, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(c[3].on, true);
  EXPECT_FALSE(c[3].value);
  EXPECT_EQ(c[4].on, false);  // relative pan/tilt: its switch, never its data
  EXPECT_FALSE(c[4].nativeData);
  EXPECT_EQ(c[5].value, 12);
  EXPECT_EQ(c[6].value, 7);
}

struct StepView {
  std::string kind;
  std::string property;
  std::optional<std::uint32_t> objectId;
  std::optional<std::string> skipReason;
  bool operator==(const StepView&) const = default;
};

std::ostream& operator<<(std::ostream& out, const StepView& step) {
  return out << step.kind << "." << step.property << " -> "
             << (step.objectId ? std::to_string(*step.objectId) : "none") << " "
             << step.skipReason.value_or("written");
}

std::vector<StepView> viewOf(const std::vector<ApplyStep>& steps) {
  std::vector<StepView> views;
  for (const ApplyStep& step : steps) {
    std::optional<std::uint32_t> id;
    if (step.target) id = step.target->objectId;
    std::optional<std::string> reason;
    if (step.skipReason) reason = std::string(skipReasonName(*step.skipReason));
    views.push_back({step.saved->kind, std::string(propertyName(step.property)), id, reason});
  }
  return views;
}

TEST(ApplyProfile, AutomaticModesThenOnStatesThenValuesThenPanAndTilt) {
  testing::useFixture(camera);
  const std::vector<CameraDevice> devices = listDevices();
  ProfileControl position = entry("panTiltAbsolute");
  position.on = false;
  position.nativeData = std::vector<std::uint8_t>{9, 9, 9, 9, 9, 9, 9, 9};
  ProfileControl exposure = valued("exposure", ValueMode::Absolute, 0.25);
  exposure.automatic = false;
  ProfileControl focus = valued("focus", ValueMode::Native, 8);
  focus.automatic = true;
  const Profile profile{.uid = "CAM-1",
                        .name = "Camera",
                        .controls = {valued("pan", ValueMode::Absolute, -30), position,
                                     valued("brightness", ValueMode::Native, 1), exposure, focus,
                                     valued("zoom", ValueMode::Native, 200),
                                     valued("brightness", ValueMode::Absolute, 2),
                                     valued("brightness", ValueMode::Native, 3),
                                     valued("gain", ValueMode::Native, 4), entry("focus")}};
  // The last entry has nothing to apply; it is only counted as focus's second.
  const std::vector<ApplyStep> steps = applySteps(profile, devices[0]);
  const std::vector<StepView> expected{
      {"exposure", "automatic", 12, std::nullopt},
      {"focus", "automatic", 13, std::nullopt},
      {"panTiltAbsolute", "on", 15, std::nullopt},
      {"brightness", "value", 11, std::nullopt},
      // the automatic mode the profile sets holds the value
      {"exposure", "value", 12, std::nullopt},
      {"focus", "value", 13, "automatic"},
      {"zoom", "value", std::nullopt, "absent"},
      {"brightness", "value", 19, "valueMode"},         // the second brightness
      {"brightness", "value", std::nullopt, "absent"},  // the camera has two
      {"gain", "value", 14, std::nullopt},              // not settable: the camera decides
      {"pan", "value", 18, std::nullopt},
      {"panTiltAbsolute", "nativeData", 15, std::nullopt},
  };
  EXPECT_EQ(viewOf(steps), expected);
}

TEST(ApplyProfile, AValueHeldByTheCamerasAutomaticModeIsSkipped) {
  testing::useFixture(camera);
  const std::vector<CameraDevice> devices = listDevices();
  // No automatic mode in the profile: the camera's own counts (exposure's is on).
  const Profile profile{.uid = "CAM-1",
                        .name = "Camera",
                        .controls = {valued("exposure", ValueMode::Absolute, 0.25)}};
  const auto views = viewOf(applySteps(profile, devices[0]));
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(views[0].skipReason, "automatic");
}

TEST(ApplyProfile, AControlWithoutAnAutomaticModeTakesItsValue) {
  testing::useFixture(camera);
  const std::vector<CameraDevice> devices = listDevices();
  // Saved where brightness had an automatic mode, which this camera lacks.
  ProfileControl brightness = valued("brightness", ValueMode::Native, 4);
  brightness.automatic = true;
  const Profile profile{.uid = "CAM-1", .name = "Camera", .controls = {brightness}};
  const std::vector<StepView> expected{{"brightness", "automatic", 11, "absent"},
                                       {"brightness", "value", 11, std::nullopt}};
  EXPECT_EQ(viewOf(applySteps(profile, devices[0])), expected);
}

std::vector<std::uint8_t> bytesOf(float value) {
  std::vector<std::uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

std::vector<std::uint8_t> bytesOf(std::uint32_t value) {
  std::vector<std::uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

TEST(ApplyProfile, WritesEachStepToItsPropertyInOrderAndTellsWhatBecameOfIt) {
  testing::useFixture(camera);
  const std::vector<CameraDevice> before = listDevices();
  ProfileControl exposure = valued("exposure", ValueMode::Absolute, 0.25);
  exposure.automatic = false;
  ProfileControl tilt = entry("tilt");
  tilt.automatic = false;
  ProfileControl position = entry("panTiltAbsolute");
  position.nativeData = std::vector<std::uint8_t>{9, 8, 7, 6, 5, 4, 3, 2};
  const Profile profile{.uid = "CAM-1",
                        .name = "Camera",
                        .controls = {valued("brightness", ValueMode::Native, 2), exposure, tilt,
                                     valued("gain", ValueMode::Native, 4), position}};
  const std::vector<ApplyStep> steps = applySteps(profile, before[0]);
  sim::recordCalls();
  const std::vector<std::optional<Status>> statuses = writeSteps(steps);

  struct Write {
    ObjectId object;
    std::string selector;
    std::vector<std::uint8_t> data;
    bool operator==(const Write&) const = default;
  };
  std::vector<Write> writes;
  for (const sim::Call& call : sim::callLog())
    if (call.operation == sim::Operation::SetData)
      writes.push_back({call.object, fourCC(call.selector), call.data});
  const std::vector<Write> expected{
      {12, "fcam", bytesOf(0u)},   {20, "fcam", bytesOf(0u)},
      {11, "fcnv", bytesOf(2.0f)}, {12, "fcav", bytesOf(0.25f)},
      {14, "fcnv", bytesOf(4.0f)}, {15, "fcnd", {9, 8, 7, 6, 5, 4, 3, 2}},
  };
  ASSERT_EQ(writes.size(), expected.size());
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].object, expected[i].object) << i;
    EXPECT_EQ(writes[i].selector, expected[i].selector) << i;
    EXPECT_EQ(writes[i].data, expected[i].data) << i;
  }

  // Read back: brightness reads 2, exposure reads as written; gain is not
  // settable, so it refuses; tilt's switch refuses with its own status.
  std::vector<CameraDevice> after = listDevices();
  const std::vector<StepOutcome> outcomes = stepOutcomes(steps, statuses, &after[0]);
  ASSERT_EQ(outcomes.size(), 6u);
  EXPECT_EQ(outcomes[0].result, StepResult::applied);
  EXPECT_EQ(outcomes[1].result, StepResult::refused);
  EXPECT_EQ(outcomes[1].error, "Failed to change automatic mode for tilt: -50 (0xffffffce).");
  EXPECT_EQ(outcomes[2].result, StepResult::applied);
  EXPECT_EQ(outcomes[3].result, StepResult::applied);
  EXPECT_EQ(outcomes[4].result, StepResult::refused);
  EXPECT_EQ(outcomes[4].error, "Failed to set gain: 1852797029 (nope).");
  EXPECT_EQ(outcomes[5].result, StepResult::applied);
  EXPECT_FALSE(everyStepTook(outcomes));

  // A value the camera accepted but reads otherwise has not taken.
  after[0].controls[0].value = 3;         // brightness
  after[0].controls[1].automatic = true;  // exposure
  const std::vector<StepOutcome> changed = stepOutcomes(steps, statuses, &after[0]);
  EXPECT_EQ(changed[0].result, StepResult::differs);
  EXPECT_EQ(changed[2].result, StepResult::differs);
  // A position is where the camera is going; it is not read back.
  after[0].controls[4].nativeData = std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(stepOutcomes(steps, statuses, &after[0])[5].result, StepResult::applied);
}

TEST(ApplyProfile, SkippedStepsMakeNoWriteAndDoNotFailTheRun) {
  testing::useFixture(camera);
  const std::vector<CameraDevice> devices = listDevices();
  const Profile profile{
      .uid = "CAM-1",
      .name = "Camera",
      .controls = {valued("zoom", ValueMode::Native, 2), valued("exposure", ValueMode::Native, 1)}};
  const std::vector<ApplyStep> steps = applySteps(profile, devices[0]);
  sim::recordCalls();
  const auto statuses = writeSteps(steps);
  for (const sim::Call& call : sim::callLog()) EXPECT_NE(call.operation, sim::Operation::SetData);
  const std::vector<StepOutcome> outcomes = stepOutcomes(steps, statuses, &devices[0]);
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0].result, StepResult::skipped);
  EXPECT_EQ(outcomes[0].reason, SkipReason::absent);
  EXPECT_FALSE(outcomes[0].objectId);
  EXPECT_EQ(outcomes[1].reason, SkipReason::valueMode);
  EXPECT_EQ(outcomes[1].objectId, 12u);
  EXPECT_TRUE(everyStepTook(outcomes));
}

}  // namespace
}  // namespace camknob
