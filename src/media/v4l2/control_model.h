// How a camera's V4L2 controls appear as control objects: which controls are
// listed, under which class code, which V4L2 controls one object stands for
// (pan with tilt, a value with its automatic mode) and in what unit an
// absolute value is given. What the driver tells of a menu's items is added
// when the device is described (menu_items.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/v4l2/v4l2_io.h"
#include "records/property_types.h"

namespace camknob::v4l2 {

enum class ControlRole {
  Value,            // one V4L2 control read and written as a number
  PanTiltPosition,  // pan and tilt absolute, 8 bytes of native data
  PanTiltSpeed,     // pan and tilt speed, the 4-byte movement record
};

// How the automatic partner's value means on or off.
enum class AutomaticStyle {
  Switch,        // a boolean: 1 automatic, 0 manual
  ExposureMenu,  // the auto exposure menu: manual 1, automatic 0 or 3
};

struct AutomaticPartner {
  ControlDescription control;
  AutomaticStyle style;
};

struct ModelControl {
  ObjectId objectId;
  std::uint32_t classCode;
  std::string name;
  ControlRole role;
  ControlDescription primary;                   // the value, or pan of a pair
  std::optional<ControlDescription> secondary;  // tilt of a pair
  std::optional<AutomaticPartner> automatic;
  std::optional<double> nativePerUnit;      // absolute value = native / nativePerUnit
  std::optional<std::string> absoluteUnit;  // the unit of the absolute value, with nativePerUnit
  std::vector<MenuItem> menuItems = {};     // a menu's items the driver offers, in index order
};

// Device object ids are this far apart; a device's controls take the ids
// between its own and the next device's.
inline constexpr ObjectId deviceIdStride = 0x10000;

// The controls of a device whose object id is `deviceId`, from what the
// driver describes, in the driver's order; object ids follow the device's.
std::vector<ModelControl> modelControls(ObjectId deviceId,
                                        const std::vector<ControlDescription>& described);

// Whether a descriptor's flags let a write through.
bool writable(const ControlDescription& control);

// Whether the value of an automatic partner means automatic.
bool isAutomatic(AutomaticStyle style, std::int32_t value);

}  // namespace camknob::v4l2
