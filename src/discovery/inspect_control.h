#pragma once

#include <optional>

#include "records/camera_records.h"
#include "records/property_types.h"

namespace camknob {

// Reads one control object into its record; nothing when it has no readable
// class code (and then nothing else of it is read).
std::optional<CameraControl> inspectControl(ObjectId objectId);

}  // namespace camknob
