#include "discovery/control_details.h"

#include <cmath>

#include "media/property_access.h"

namespace camknob {

namespace {

std::optional<double> finiteReading(ObjectId objectId, Selector selector) {
  const auto reading = readFloat32(objectId, selector);
  if (!reading || !std::isfinite(*reading)) return std::nullopt;
  return static_cast<double>(*reading);
}

// The items that have a name or a number; nothing for a control without any.
std::optional<std::vector<MenuItem>> menuOf(ObjectId objectId) {
  if (!propertySize(objectId, selectors::menuItems, nullptr)) return std::nullopt;
  std::vector<MenuItem> items;
  for (const std::uint32_t value : readObjectIds(objectId, selectors::menuItems, std::nullopt)) {
    if (auto name = readItemString(objectId, selectors::menuItemName, value))
      items.push_back(MenuItem{.value = value, .name = std::move(name), .number = std::nullopt});
    else if (auto number = readItemInt64(objectId, selectors::menuItemNumber, value))
      items.push_back(MenuItem{.value = value, .name = std::nullopt, .number = number});
  }
  if (items.empty()) return std::nullopt;
  return items;
}

std::optional<bool> startsAutomatic(const CameraControl& control) {
  if (!control.automatic) return std::nullopt;
  const auto reading = readUInt32(control.objectId, selectors::automaticDefault);
  if (!reading) return std::nullopt;
  return *reading != 0;
}

struct ScaleSelectors {
  Selector step;
  Selector defaultValue;
};

constexpr ScaleSelectors absoluteScale{selectors::absoluteStep, selectors::absoluteDefault};
constexpr ScaleSelectors nativeScale{selectors::nativeStep, selectors::nativeDefault};

}  // namespace

ControlDetails inspectDetails(const CameraControl& control) {
  const ObjectId id = control.objectId;
  const bool absolute = control.valueMode == ValueMode::Absolute;
  const ScaleSelectors scale = absolute ? absoluteScale : nativeScale;
  const bool valued = control.valueMode.has_value();
  return ControlDetails{
      .objectId = id,
      .kind = control.kind,
      .step = valued ? finiteReading(id, scale.step) : std::nullopt,
      .defaultValue = valued ? finiteReading(id, scale.defaultValue) : std::nullopt,
      .automaticDefault = startsAutomatic(control),
      .menu = valued ? menuOf(id) : std::nullopt,
      .unit = absolute ? readString(id, selectors::absoluteUnitName) : std::nullopt,
  };
}

DeviceDetails inspectDeviceDetails(const CameraDevice& device) {
  std::vector<ControlDetails> controls;
  controls.reserve(device.controls.size());
  for (const CameraControl& control : device.controls) controls.push_back(inspectDetails(control));
  return DeviceDetails{
      .objectId = device.objectId, .uid = device.uid, .controls = std::move(controls)};
}

}  // namespace camknob
