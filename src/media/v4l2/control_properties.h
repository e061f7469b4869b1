// The properties of the V4L2 service's device and control objects: which
// ones each has and what they read.
#pragma once

#include <array>
#include <cstdint>

#include "media/v4l2/device_values.h"
#include "records/property_types.h"

namespace camknob::v4l2 {

bool deviceHas(const ModelDevice& device, std::uint32_t selector);
bool controlHas(const ModelControl& control, std::uint32_t selector);

// A fixed-size answer: the bytes, or why there are none.
struct PropertyAnswer {
  Status status;
  std::uint32_t size;
  std::array<std::uint8_t, 16> bytes;
};

// The size a control or device property reads as (not the id lists).
std::uint32_t fixedSize(const ModelControl* control, std::uint32_t selector);

PropertyAnswer deviceProperty(const ModelDevice& device, std::uint32_t selector);
PropertyAnswer controlProperty(LiveDevice& device, const ModelControl& control,
                               std::uint32_t selector);

// Whether a write of the control property can go through, as far as the
// driver's description tells.
bool controlSettable(const ModelControl& control, std::uint32_t selector);

}  // namespace camknob::v4l2
