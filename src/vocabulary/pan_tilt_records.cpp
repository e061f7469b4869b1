#include "vocabulary/pan_tilt_records.h"

#include <algorithm>
#include <cmath>

#include "media/property_access.h"

namespace camknob {

namespace {

std::uint8_t direction(double axis) {
  if (axis > 0) return 0x01;
  if (axis < 0) return 0xFF;
  return 0x00;  // zero, negative zero included
}

// 1 to 12 for a moving axis: a slow but non-zero request still moves.
std::uint8_t speedStep(double axis, double speed) {
  if (axis == 0) return 0;
  const double step = std::max(1.0, std::round(std::fabs(axis) * speed * 12));
  return static_cast<std::uint8_t>(std::min(step, 255.0));
}

}  // namespace

double limited(double value, double low, double high) {
  const double upper = value < high ? value : high;
  return upper >= low ? upper : low;
}

std::array<std::uint8_t, 4> relativeMoveRecord(double pan, double tilt, double speed) {
  return {direction(pan), speedStep(pan, speed), direction(tilt), speedStep(tilt, speed)};
}

std::array<std::uint8_t, 8> absolutePositionRecord(double pan, double tilt) {
  // The limits keep both products well inside the signed 32-bit range.
  const auto panBytes = littleEndianBytes(static_cast<std::int32_t>(std::round(pan * 3600)));
  const auto tiltBytes = littleEndianBytes(static_cast<std::int32_t>(std::round(tilt * 3600)));
  std::array<std::uint8_t, 8> record{};
  std::copy(panBytes.begin(), panBytes.end(), record.begin());
  std::copy(tiltBytes.begin(), tiltBytes.end(), record.begin() + 4);
  return record;
}

}  // namespace camknob
