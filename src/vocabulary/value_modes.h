// The scale a control's value is read and written in: the device's own
// absolute units (seconds, kelvin, degrees) where it gives both the value and
// its range in them, else its native numbers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "records/property_types.h"

namespace camknob {

enum class ValueMode : std::uint8_t { Absolute, Native };

struct ValueModeRow {
  ValueMode mode;
  std::string_view name;   // as JSON gives it
  std::uint32_t selector;  // of the value in this scale
};

inline constexpr std::array<ValueModeRow, 2> valueModes{{
    {ValueMode::Absolute, "absolute", selectors::absoluteValue},
    {ValueMode::Native, "native", selectors::nativeValue},
}};

constexpr const ValueModeRow& valueModeRow(ValueMode mode) {
  return valueModes[static_cast<std::size_t>(mode)];
}
static_assert(valueModeRow(ValueMode::Absolute).mode == ValueMode::Absolute &&
              valueModeRow(ValueMode::Native).mode == ValueMode::Native);

constexpr std::string_view valueModeName(ValueMode mode) {
  return valueModeRow(mode).name;
}

// The value's selector in this scale.
constexpr std::uint32_t valueSelector(ValueMode mode) {
  return valueModeRow(mode).selector;
}

// The mode of a name, or nothing for a name that is none.
constexpr std::optional<ValueMode> valueModeNamed(std::string_view name) {
  for (const ValueModeRow& row : valueModes)
    if (row.name == name) return row.mode;
  return std::nullopt;
}

}  // namespace camknob
