#pragma once

#include "profile/profile_records.h"
#include "records/camera_records.h"

namespace camknob {

// What of the camera a profile keeps: per control, each reading the camera
// lets be changed (automatic mode, on state, value, and the absolute pan/tilt
// position). Movements are not states: relative pan/tilt data and the values
// of continuous zoom and speed controls are left out, and so are controls
// with nothing to keep.
Profile savedProfile(const CameraDevice& device);

}  // namespace camknob
