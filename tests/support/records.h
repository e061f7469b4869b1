// Records for tests that need a control without going through a device.
#pragma once

#include <string>

#include "records/camera_records.h"

namespace camknob::testing {

// A control with no optional reading and nothing settable.
inline CameraControl bareControl(std::uint32_t objectId, std::string kind = "brightness",
                                 std::string classCode = "brit") {
  return CameraControl{.objectId = objectId,
                       .kind = std::move(kind),
                       .classCode = std::move(classCode),
                       .name = std::nullopt,
                       .settable = false,
                       .valueMode = std::nullopt,
                       .value = std::nullopt,
                       .minimum = std::nullopt,
                       .maximum = std::nullopt,
                       .automatic = std::nullopt,
                       .automaticSettable = false,
                       .on = std::nullopt,
                       .onSettable = false,
                       .nativeData = std::nullopt,
                       .nativeDataRange = std::nullopt,
                       .nativeDataSettable = false};
}

}  // namespace camknob::testing
