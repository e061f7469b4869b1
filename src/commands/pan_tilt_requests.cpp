#include "commands/pan_tilt_requests.h"

#include <algorithm>
#include <cmath>

#include "vocabulary/pan_tilt_records.h"

namespace camknob {

namespace {

// The signed speed of an axis: 0 for zero (negative zero included), else 1
// to 12 in the axis's direction.
std::int64_t axisSpeed(double axis, double speed) {
  if (axis == 0) return 0;
  const double step = std::min(std::max(1.0, std::round(std::fabs(axis) * speed * 12)), 255.0);
  return axis > 0 ? std::int64_t(step) : -std::int64_t(step);
}

std::int32_t arcSeconds(double degrees) {
  // The clamps keep the product well inside the signed 32-bit range.
  return static_cast<std::int32_t>(std::round(degrees * 3600));
}

}  // namespace

double clamped(double value, double low, double high) {
  const double upper = value < high ? value : high;
  return upper >= low ? upper : low;
}

std::array<std::uint8_t, 4> relativeMoveRecord(double pan, double tilt, double speed) {
  return movementRecord(axisSpeed(pan, speed), axisSpeed(tilt, speed));
}

std::array<std::uint8_t, 8> absolutePositionRecord(double pan, double tilt) {
  return positionRecord(arcSeconds(pan), arcSeconds(tilt));
}

}  // namespace camknob
