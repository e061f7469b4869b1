// The three records of a response. Each is built once, from every field, and
// its JSON keys are its field names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vocabulary/value_modes.h"

namespace camknob {

struct CameraControl {
  std::uint32_t objectId;
  std::string kind;
  std::string classCode;
  std::optional<std::string> name;
  bool settable;
  std::optional<ValueMode> valueMode;
  std::optional<double> value;
  std::optional<double> minimum;
  std::optional<double> maximum;
  std::optional<bool> automatic;
  bool automaticSettable;
  std::optional<bool> on;
  bool onSettable;
  std::optional<std::vector<std::uint8_t>> nativeData;
  std::optional<std::vector<std::uint8_t>> nativeDataRange;
  bool nativeDataSettable;
};

struct CameraDevice {
  std::uint32_t objectId;
  std::string uid;
  std::string name;
  std::optional<std::string> manufacturer;
  std::vector<CameraControl> controls;
};

struct CameraResponse {
  bool ok;
  std::vector<CameraDevice> devices;
  std::optional<std::string> error;
};

}  // namespace camknob
