// Applying a profile to a camera: which writes to make, in which order, and
// what became of each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile_records.h"
#include "records/camera_records.h"
#include "records/property_types.h"

namespace camknob {

enum class ProfileProperty { automatic, on, value, nativeData };

// Why a step is not written.
enum class SkipReason {
  absent,     // the camera has no such control, or not that property of it
  automatic,  // the value is held by the control's automatic mode
  valueMode,  // the camera gives the value in another scale than the profile
};

// What became of a step.
enum class StepResult { applied, skipped, refused, differs };

// The names the answer gives them.
std::string_view propertyName(ProfileProperty property);
std::string_view skipReasonName(SkipReason reason);
std::string_view stepResultName(StepResult result);

// One property of one profile control, and the camera control it goes to.
struct ApplyStep {
  const ProfileControl* saved;
  ProfileProperty property;
  const CameraControl* target;  // null when the camera has no such control
  std::optional<SkipReason> skipReason;
};

// Every property of every profile control, in the order they are applied:
// automatic modes, on states, values, then the pan/tilt position (values of
// pan and tilt, panTiltAbsolute's data), each in profile order. The n-th
// control of a kind in the profile goes to the camera's n-th control of it.
std::vector<ApplyStep> applySteps(const Profile& profile, const CameraDevice& camera);

// Makes the writes of the steps not skipped; per step, the device's status,
// or nothing for a skipped step.
std::vector<std::optional<Status>> writeSteps(const std::vector<ApplyStep>& steps);

struct StepOutcome {
  std::string kind;
  ProfileProperty property;
  std::optional<std::uint32_t> objectId;
  StepResult result;
  std::optional<SkipReason> reason;  // of a skipped step
  std::optional<std::string> error;  // of a refused step, as camknob words it
};

// What became of each step, given the statuses of its writes and the camera
// as read afterwards (null when it was not found again). An accepted
// automatic mode, on state or value that reads back otherwise "differs"; a
// pan/tilt position is the camera's target, which it may still be moving to,
// so it is not read back.
std::vector<StepOutcome> stepOutcomes(const std::vector<ApplyStep>& steps,
                                      const std::vector<std::optional<Status>>& statuses,
                                      const CameraDevice* after);

// Whether every step not skipped took its value.
bool everyStepTook(const std::vector<StepOutcome>& outcomes);

}  // namespace camknob
