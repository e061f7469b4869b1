#pragma once

#include <optional>
#include <vector>

#include "records/camera_records.h"
#include "records/property_types.h"

namespace camknob {

// Every camera of the system object with its inspected controls, read afresh
// on each call; a device without a readable uid or name is left out.
std::vector<CameraDevice> listDevices();

// One device of the system with its inspected controls, read as listDevices
// reads each; nothing when it has no readable uid or name.
std::optional<CameraDevice> inspectDevice(ObjectId deviceId);

}  // namespace camknob
