// The native data records of a pan/tilt mechanism, as every service and
// command reads and writes them.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace camknob {

// The 4-byte movement record: pan direction, pan speed, tilt direction, tilt
// speed. A direction byte is 0x01 (right, up), 0xFF (left, down) or 0 (the
// axis stands); here an axis's speed is signed, its sign the direction, and a
// magnitude beyond 255 is 255.
std::array<std::uint8_t, 4> movementRecord(std::int64_t panSpeed, std::int64_t tiltSpeed);

// The signed speeds of a movement record; an axis without a direction stands,
// whatever its speed byte.
std::array<std::int32_t, 2> movementOf(std::span<const std::uint8_t, 4> record);

// The 8-byte position record: pan then tilt, signed 32-bit little-endian (in
// arc-seconds, on cameras that give units).
std::array<std::uint8_t, 8> positionRecord(std::int32_t pan, std::int32_t tilt);
std::array<std::int32_t, 2> positionOf(std::span<const std::uint8_t, 8> record);

}  // namespace camknob
