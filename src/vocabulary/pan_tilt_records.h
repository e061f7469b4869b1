// The native data records that drive a pan/tilt mechanism.
#pragma once

#include <array>
#include <cstdint>

namespace camknob {

// min(high, v) then max(low, that), so not-a-number ends at the high limit.
double limited(double value, double low, double high);

// Pan direction and speed, tilt direction and speed; pan and tilt in -1..1,
// speed in 0.05..1, each already limited.
std::array<std::uint8_t, 4> relativeMoveRecord(double pan, double tilt, double speed);

// Pan and tilt in degrees as little-endian arc-seconds, each already limited.
std::array<std::uint8_t, 8> absolutePositionRecord(double pan, double tilt);

}  // namespace camknob
