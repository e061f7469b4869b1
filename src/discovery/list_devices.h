#pragma once

#include <vector>

#include "records/camera_records.h"

namespace camknob {

// Every camera of the system object with its inspected controls, read afresh
// on each call; a device without a readable uid or name is left out.
std::vector<CameraDevice> listDevices();

}  // namespace camknob
