// Reading what a camera's controls tell of themselves beyond their values.
#pragma once

#include "records/camera_records.h"
#include "records/control_details.h"

namespace camknob {

// The details of a control as inspected: step and default in the scale of
// its value (absolute or native, as `list` gives it), its absolute unit,
// its menu items with their names or numbers.
ControlDetails inspectDetails(const CameraControl& control);

// The details of every control of the device, in its order.
DeviceDetails inspectDeviceDetails(const CameraDevice& device);

}  // namespace camknob
