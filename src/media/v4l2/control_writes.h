// Writes to the V4L2 service's control objects: each becomes one call to
// the driver, and a refusal becomes a status that says why.
#pragma once

#include <cstdint>

#include "media/v4l2/device_values.h"
#include "records/property_types.h"

namespace camknob::v4l2 {

Status writeControl(LiveDevice& device, const ModelControl& control, std::uint32_t selector,
                    std::uint32_t dataSize, const void* data);

}  // namespace camknob::v4l2
