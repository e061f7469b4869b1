#include "discovery/inspect_control.h"

#include <cmath>

#include "media/fourcc_and_status_text.h"
#include "media/property_access.h"
#include "vocabulary/control_kinds.h"

namespace camknob {

namespace {

std::optional<double> finite(std::optional<double> reading) {
  if (reading && std::isfinite(*reading)) return reading;
  return std::nullopt;
}

std::optional<double> widened(std::optional<float> reading) {
  if (!reading) return std::nullopt;
  return finite(static_cast<double>(*reading));  // float to double is exact
}

std::optional<bool> nonZero(std::optional<std::uint32_t> reading) {
  if (!reading) return std::nullopt;
  return *reading != 0;
}

}  // namespace

std::optional<CameraControl> inspectControl(ObjectId objectId) {
  const auto classCode = readUInt32(objectId, selectors::objectClass);
  if (!classCode) return std::nullopt;
  const auto knownKind = controlKindName(*classCode);

  const auto absoluteValue = readFloat32(objectId, selectors::absoluteValue);
  const auto absoluteRange = readRange(objectId, selectors::absoluteRange);
  const auto nativeValue = readFloat32(objectId, selectors::nativeValue);
  const auto nativeRange = readRange(objectId, selectors::nativeRange);

  // Absolute units only when the device gives both the value and its range.
  const bool absolute = absoluteValue && absoluteRange;
  const auto value = widened(absolute ? absoluteValue : nativeValue);
  const auto range = absolute ? absoluteRange : nativeRange;
  const std::uint32_t valueSelector = absolute ? selectors::absoluteValue : selectors::nativeValue;

  std::string classText = fourCC(*classCode);
  std::optional<std::string> name = readString(objectId, selectors::name);
  const bool settable = value && isSettable(objectId, valueSelector);

  const auto automatic = nonZero(readUInt32(objectId, selectors::automaticManual));
  const bool automaticSettable = isSettable(objectId, selectors::automaticManual);
  const auto on = nonZero(readUInt32(objectId, selectors::onOff));
  const bool onSettable = isSettable(objectId, selectors::onOff);
  auto nativeData = readBytes(objectId, selectors::nativeData);
  auto nativeDataRange = readBytes(objectId, selectors::nativeDataRange);
  const bool nativeDataSettable = isSettable(objectId, selectors::nativeData);

  std::string kind = knownKind ? std::string(*knownKind) : classText;
  return CameraControl{
      .objectId = objectId,
      .kind = std::move(kind),
      .classCode = std::move(classText),
      .name = std::move(name),
      .settable = settable,
      .valueMode =
          value ? std::optional(absolute ? ValueMode::Absolute : ValueMode::Native) : std::nullopt,
      .value = value,
      .minimum = range ? finite(range->mMinimum) : std::nullopt,
      .maximum = range ? finite(range->mMaximum) : std::nullopt,
      .automatic = automatic,
      .automaticSettable = automaticSettable,
      .on = on,
      .onSettable = onSettable,
      .nativeData = std::move(nativeData),
      .nativeDataRange = std::move(nativeDataRange),
      .nativeDataSettable = nativeDataSettable,
  };
}

}  // namespace camknob
