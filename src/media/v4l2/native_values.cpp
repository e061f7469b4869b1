#include "media/v4l2/native_values.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace camknob::v4l2 {

namespace {

constexpr double lowest = std::numeric_limits<std::int32_t>::min();
constexpr double highest = std::numeric_limits<std::int32_t>::max();

std::int32_t saturatedDouble(double value) {
  if (value <= lowest) return std::numeric_limits<std::int32_t>::min();
  if (value >= highest) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

std::uint8_t direction(std::int64_t speed) {
  return speed > 0 ? 0x01 : speed < 0 ? 0xFF : 0x00;
}

std::uint8_t magnitude(std::int64_t speed) {
  const std::uint64_t size = speed < 0 ? 0 - std::uint64_t(speed) : std::uint64_t(speed);
  return size > 255 ? 255 : std::uint8_t(size);
}

std::int32_t signedSpeed(std::uint8_t directionByte, std::uint8_t speed) {
  const auto sign = static_cast<std::int8_t>(directionByte);
  if (sign == 0) return 0;  // no direction stops the axis, whatever the speed
  return sign > 0 ? speed : -std::int32_t(speed);
}

std::int32_t littleEndian(std::span<const std::uint8_t> bytes) {
  return static_cast<std::int32_t>(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                   std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
}

}  // namespace

std::int32_t saturated(std::int64_t value) {
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> nativeFromNumber(float value) {
  if (std::isnan(value)) return std::nullopt;
  return saturatedDouble(std::round(static_cast<double>(value)));
}

std::optional<std::int32_t> nativeFromAbsolute(float value, double nativePerUnit,
                                               const ControlDescription& control) {
  if (std::isnan(value)) return std::nullopt;
  const double native = static_cast<double>(value) * nativePerUnit;
  if (!std::isfinite(native)) return saturatedDouble(native);
  const double step = control.step == 0 ? 1.0 : static_cast<double>(control.step);
  const double base = static_cast<double>(control.minimum);
  return saturatedDouble(base + std::round((native - base) / step) * step);
}

double absoluteFromNative(std::int64_t value, double nativePerUnit) {
  return static_cast<double>(value) / nativePerUnit;
}

std::array<std::uint8_t, 8> positionRecord(std::int32_t pan, std::int32_t tilt) {
  const auto p = static_cast<std::uint32_t>(pan);
  const auto t = static_cast<std::uint32_t>(tilt);
  return {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16), std::uint8_t(p >> 24),
          std::uint8_t(t), std::uint8_t(t >> 8), std::uint8_t(t >> 16), std::uint8_t(t >> 24)};
}

std::array<std::int32_t, 2> positionOf(std::span<const std::uint8_t, 8> record) {
  return {littleEndian(record.subspan(0, 4)), littleEndian(record.subspan(4, 4))};
}

std::array<std::uint8_t, 4> speedRecord(std::int64_t pan, std::int64_t tilt) {
  return {direction(pan), magnitude(pan), direction(tilt), magnitude(tilt)};
}

std::array<std::int32_t, 2> speedsOf(std::span<const std::uint8_t, 4> record) {
  return {signedSpeed(record[0], record[1]), signedSpeed(record[2], record[3])};
}

}  // namespace camknob::v4l2
