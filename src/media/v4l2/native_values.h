// Conversions between the numbers the tool reads and writes and the integers
// V4L2 controls hold.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "media/v4l2/v4l2_io.h"

namespace camknob::v4l2 {

// Beyond the 32-bit range a value is brought to its nearest end.
std::int32_t saturated(std::int64_t value);

// The nearest integer, halves away from zero; nothing for not-a-number.
std::optional<std::int32_t> nativeFromNumber(float value);

// An absolute value in native units, on the control's nearest step.
std::optional<std::int32_t> nativeFromAbsolute(float value, double nativePerUnit,
                                               const ControlDescription& control);

// A native value in absolute units.
double absoluteFromNative(std::int64_t value, double nativePerUnit);

}  // namespace camknob::v4l2
