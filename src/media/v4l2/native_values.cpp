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

}  // namespace camknob::v4l2
