// What the move and absolute commands ask of a pan/tilt mechanism, as the
// records that carry it.
#pragma once

#include <array>
#include <cstdint>

namespace camknob {

// min(high, v) then max(low, that), so not-a-number ends at the high limit.
double clamped(double value, double low, double high);

// Pan and tilt in -1..1 (their signs the directions), speed in 0.05..1, each
// already clamped: a moving axis gets a speed of 1 to 12, so that a slow but
// non-zero request still moves.
std::array<std::uint8_t, 4> relativeMoveRecord(double pan, double tilt, double speed);

// Pan and tilt in degrees, each already clamped, as arc-seconds.
std::array<std::uint8_t, 8> absolutePositionRecord(double pan, double tilt);

}  // namespace camknob
