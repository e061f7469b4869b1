#include "profile/saved_profile.h"

#include "profile/profile_reading.h"
#include "vocabulary/control_kinds.h"

namespace camknob {

namespace {

// A control whose value sets a movement going (a direction and a speed)
// rather than a state, such as continuous zoom or the relative and speed
// controls of Linux cameras: written back, a saved value would set the camera
// moving.
bool isMovement(std::string_view kind) {
  return motionOfKind(kind) == ControlMotion::Moves;
}

std::optional<ProfileControl> savedControl(const CameraControl& control) {
  const bool valueSaved =
      control.settable && control.value && control.valueMode && !isMovement(control.kind);
  const bool positionSaved = control.kind == panTiltAbsoluteKind && control.nativeDataSettable &&
                             control.nativeData &&
                             control.nativeData->size() <= maxProfileNativeData;
  ProfileControl saved{
      .kind = control.kind,
      .automatic = control.automaticSettable ? control.automatic : std::nullopt,
      .on = control.onSettable ? control.on : std::nullopt,
      .valueMode = valueSaved ? control.valueMode : std::nullopt,
      .value = valueSaved ? control.value : std::nullopt,
      .nativeData = positionSaved ? control.nativeData : std::nullopt,
  };
  if (!saved.automatic && !saved.on && !saved.value && !saved.nativeData) return std::nullopt;
  return saved;
}

}  // namespace

Profile savedProfile(const CameraDevice& device) {
  std::vector<ProfileControl> controls;
  for (const CameraControl& control : device.controls)
    if (auto saved = savedControl(control)) controls.push_back(std::move(*saved));
  return Profile{.uid = device.uid, .name = device.name, .controls = std::move(controls)};
}

}  // namespace camknob
