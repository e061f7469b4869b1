// A camera profile: the settable state of one camera, as saved and applied.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vocabulary/value_modes.h"

namespace camknob {

// One control's saved state; each reading is present only where the camera
// let it be changed when the profile was saved.
struct ProfileControl {
  std::string kind;
  std::optional<bool> automatic;
  std::optional<bool> on;
  std::optional<ValueMode> valueMode;  // present exactly when value is
  std::optional<double> value;
  std::optional<std::vector<std::uint8_t>> nativeData;  // panTiltAbsolute only
};

struct Profile {
  std::string uid;
  std::string name;
  std::vector<ProfileControl> controls;
};

// The version a profile document carries as "camknobProfile".
inline constexpr int profileVersion = 1;

}  // namespace camknob
