#include "media/v4l2/control_properties.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "media/v4l2/device_status.h"
#include "media/v4l2/menu_properties.h"
#include "media/v4l2/native_values.h"
#include "vocabulary/pan_tilt_records.h"

namespace camknob::v4l2 {

namespace {

template <typename Value>
PropertyAnswer fixed(const Value& value) {
  static_assert(sizeof(Value) <= 16);
  PropertyAnswer answer{noErr, sizeof(Value), {}};
  std::memcpy(answer.bytes.data(), &value, sizeof(Value));
  return answer;
}

template <std::size_t N>
PropertyAnswer fixedBytes(const std::array<std::uint8_t, N>& bytes) {
  PropertyAnswer answer{noErr, N, {}};
  std::copy(bytes.begin(), bytes.end(), answer.bytes.begin());
  return answer;
}

// A native data range: the record of the minimums, then that of the maximums.
template <std::size_t N>
PropertyAnswer rangeRecords(const std::array<std::uint8_t, N>& lowest,
                            const std::array<std::uint8_t, N>& highest) {
  static_assert(2 * N <= 16);
  PropertyAnswer answer{noErr, 2 * N, {}};
  std::copy(lowest.begin(), lowest.end(), answer.bytes.begin());
  std::copy(highest.begin(), highest.end(), answer.bytes.begin() + N);
  return answer;
}

PropertyAnswer failed(int error) {
  return PropertyAnswer{statusOfError(error), 0, {}};
}

// A step as the signed number the conversions take (no driver's comes near
// the limit).
std::int64_t signedStep(std::uint64_t step) {
  return static_cast<std::int64_t>(std::min<std::uint64_t>(step, INT64_MAX));
}

}  // namespace

bool deviceHas(const ModelDevice& device, std::uint32_t selector) {
  namespace s = selectors;
  return selector == s::deviceUid || selector == s::name || selector == s::ownedObjects ||
         (selector == s::manufacturer && device.manufacturer);
}

bool controlHas(const ModelControl& control, std::uint32_t selector) {
  namespace s = selectors;
  if (selector == s::objectClass || selector == s::name) return true;
  if (control.role != ControlRole::Value)
    return selector == s::nativeData || selector == s::nativeDataRange;
  const bool absolute = selector == s::absoluteValue || selector == s::absoluteRange ||
                        selector == s::absoluteStep || selector == s::absoluteDefault ||
                        selector == s::absoluteUnitName;
  return selector == s::nativeValue || selector == s::nativeRange || selector == s::nativeStep ||
         selector == s::nativeDefault || (absolute && control.nativePerUnit) ||
         ((selector == s::automaticManual || selector == s::automaticDefault) &&
          control.automatic) ||
         menuHas(control, selector);
}

std::uint32_t fixedSize(const ModelControl* control, std::uint32_t selector) {
  namespace s = selectors;
  if (selector == s::nativeRange || selector == s::absoluteRange) return 16;
  if (selector == s::deviceUid || selector == s::name || selector == s::manufacturer ||
      selector == s::absoluteUnitName)
    return sizeof(StringRef);
  if (selector == s::nativeData) return control->role == ControlRole::PanTiltPosition ? 8 : 4;
  if (selector == s::nativeDataRange) return control->role == ControlRole::PanTiltPosition ? 16 : 8;
  return 4;
}

PropertyAnswer controlProperty(LiveDevice& device, const ModelControl& control,
                               std::uint32_t selector) {
  namespace s = selectors;
  const ControlDescription& primary = control.primary;
  switch (selector) {
    case s::objectClass:
      return fixed(control.classCode);
    case s::name:
      return fixed(static_cast<StringRef>(&control.name));
    case s::nativeRange:
      return fixed(AudioValueRange{double(primary.minimum), double(primary.maximum)});
    case s::absoluteRange:
      return fixed(AudioValueRange{absoluteFromNative(primary.minimum, *control.nativePerUnit),
                                   absoluteFromNative(primary.maximum, *control.nativePerUnit)});
    case s::nativeStep:
      return fixed(static_cast<float>(primary.step));
    case s::nativeDefault:
      return fixed(static_cast<float>(primary.defaultValue));
    case s::absoluteStep:
      return fixed(
          static_cast<float>(absoluteFromNative(signedStep(primary.step), *control.nativePerUnit)));
    case s::absoluteDefault:
      return fixed(
          static_cast<float>(absoluteFromNative(primary.defaultValue, *control.nativePerUnit)));
    case s::absoluteUnitName:
      return fixed(static_cast<StringRef>(&*control.absoluteUnit));
    case s::nativeValue:
    case s::absoluteValue: {
      const Reading reading = readValue(device, primary);
      if (reading.error != 0) return failed(reading.error);
      if (selector == s::nativeValue) return fixed(static_cast<float>(reading.value));
      return fixed(static_cast<float>(absoluteFromNative(reading.value, *control.nativePerUnit)));
    }
    case s::automaticDefault:
      return fixed(std::uint32_t(
          isAutomatic(control.automatic->style,
                      static_cast<std::int32_t>(control.automatic->control.defaultValue))
              ? 1
              : 0));
    case s::automaticManual: {
      const Reading reading = readValue(device, control.automatic->control);
      if (reading.error != 0) return failed(reading.error);
      return fixed(std::uint32_t(isAutomatic(control.automatic->style, reading.value) ? 1 : 0));
    }
    case s::nativeData: {
      const Reading pan = readValue(device, primary);
      if (pan.error != 0) return failed(pan.error);
      const Reading tilt = readValue(device, *control.secondary);
      if (tilt.error != 0) return failed(tilt.error);
      if (control.role == ControlRole::PanTiltPosition)
        return fixedBytes(positionRecord(pan.value, tilt.value));
      return fixedBytes(movementRecord(pan.value, tilt.value));
    }
    case s::nativeDataRange: {
      const ControlDescription& tilt = *control.secondary;
      if (control.role == ControlRole::PanTiltPosition)
        return rangeRecords(positionRecord(saturated(primary.minimum), saturated(tilt.minimum)),
                            positionRecord(saturated(primary.maximum), saturated(tilt.maximum)));
      return rangeRecords(movementRecord(primary.minimum, tilt.minimum),
                          movementRecord(primary.maximum, tilt.maximum));
    }
    default:
      return PropertyAnswer{status::unknownProperty, 0, {}};
  }
}

PropertyAnswer deviceProperty(const ModelDevice& device, std::uint32_t selector) {
  switch (selector) {
    case selectors::deviceUid:
      return fixed(static_cast<StringRef>(&device.uid));
    case selectors::name:
      return fixed(static_cast<StringRef>(&device.name));
    case selectors::manufacturer:
      return fixed(static_cast<StringRef>(&*device.manufacturer));
    default:
      return PropertyAnswer{status::unknownProperty, 0, {}};
  }
}

bool controlSettable(const ModelControl& control, std::uint32_t selector) {
  switch (selector) {
    case selectors::nativeValue:
    case selectors::absoluteValue:
      return writable(control.primary);
    case selectors::automaticManual:
      return writable(control.automatic->control);
    case selectors::nativeData:
      return writable(control.primary) && writable(*control.secondary);
    default:
      return false;
  }
}

}  // namespace camknob::v4l2
