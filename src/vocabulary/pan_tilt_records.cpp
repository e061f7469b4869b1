#include "vocabulary/pan_tilt_records.h"

#include <algorithm>

#include "records/property_types.h"

namespace camknob {

namespace {

std::uint8_t direction(std::int64_t speed) {
  if (speed > 0) return 0x01;
  if (speed < 0) return 0xFF;
  return 0x00;
}

std::uint8_t magnitude(std::int64_t speed) {
  const std::uint64_t size = speed < 0 ? 0 - std::uint64_t(speed) : std::uint64_t(speed);
  return size > 255 ? 255 : std::uint8_t(size);
}

std::int32_t signedSpeed(std::uint8_t directionByte, std::uint8_t speed) {
  const auto sign = static_cast<std::int8_t>(directionByte);
  if (sign == 0) return 0;
  return sign > 0 ? speed : -std::int32_t(speed);
}

std::int32_t littleEndian(std::span<const std::uint8_t> bytes) {
  return static_cast<std::int32_t>(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                   std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
}

}  // namespace

std::array<std::uint8_t, 4> movementRecord(std::int64_t panSpeed, std::int64_t tiltSpeed) {
  return {direction(panSpeed), magnitude(panSpeed), direction(tiltSpeed), magnitude(tiltSpeed)};
}

std::array<std::int32_t, 2> movementOf(std::span<const std::uint8_t, 4> record) {
  return {signedSpeed(record[0], record[1]), signedSpeed(record[2], record[3])};
}

std::array<std::uint8_t, 8> positionRecord(std::int32_t pan, std::int32_t tilt) {
  const auto panBytes = littleEndianBytes(pan);
  const auto tiltBytes = littleEndianBytes(tilt);
  std::array<std::uint8_t, 8> record{};
  std::copy(panBytes.begin(), panBytes.end(), record.begin());
  std::copy(tiltBytes.begin(), tiltBytes.end(), record.begin() + 4);
  return record;
}

std::array<std::int32_t, 2> positionOf(std::span<const std::uint8_t, 8> record) {
  return {littleEndian(record.subspan(0, 4)), littleEndian(record.subspan(4, 4))};
}

}  // namespace camknob
