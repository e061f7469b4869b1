// What a control tells of itself beyond what `list` shows, read once when a
// camera is described: each field present only where the service knows it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace camknob {

// One item a menu control offers: the value that selects it and the driver's
// name of it or, for an integer menu, the number it stands for (one of the
// two, never both).
struct MenuItem {
  std::uint32_t value;
  std::optional<std::string> name;
  std::optional<std::int64_t> number;

  friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

struct ControlDetails {
  std::uint32_t objectId;
  std::string kind;
  std::optional<double> step;          // in the scale of the control's value
  std::optional<double> defaultValue;  // likewise
  std::optional<bool> automaticDefault;
  std::optional<std::vector<MenuItem>> menu;
  std::optional<std::string> unit;

  friend bool operator==(const ControlDetails&, const ControlDetails&) = default;
};

struct DeviceDetails {
  std::uint32_t objectId;
  std::string uid;
  std::vector<ControlDetails> controls;  // in the order of the device's controls

  friend bool operator==(const DeviceDetails&, const DeviceDetails&) = default;
};

}  // namespace camknob
