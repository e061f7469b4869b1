// The property service over V4L2: each video capture node is a device, each
// of its controls (or pair of controls) a control object. What the driver
// describes is read once per run; values are read once per look at the
// cameras, all of a device's in one call where the driver allows it.
#include <linux/videodev2.h>
#include <algorithm>
#include <cstring>

#include "media/property_service.h"
#include "media/v4l2/device_discovery.h"
#include "media/v4l2/device_status.h"
#include "media/v4l2/native_values.h"
#include "media/v4l2/v4l2_service.h"

namespace camknob::service {

namespace {

using namespace camknob::v4l2;

struct Reading {
  int error;  // 0 when the value was read
  std::int32_t value;
};

// What was read of a device since the last look at the cameras or the last
// write to it.
struct ValueCache {
  bool batchTried = false;
  std::vector<std::pair<std::uint32_t, Reading>> readings;
};

struct LiveDevice {
  ModelDevice model;
  ValueCache cache;
};

struct State {
  std::vector<LiveDevice> devices;
  std::vector<ObjectId> deviceIds;
};

std::optional<State>& stored() {
  static std::optional<State> instance;
  return instance;
}

// Found on first use and kept for the run, so object ids and string
// references stay valid.
State& state() {
  std::optional<State>& current = stored();
  if (!current) {
    current.emplace();
    for (ModelDevice& device : discoverDevices()) {
      current->deviceIds.push_back(device.objectId);
      current->devices.push_back(LiveDevice{std::move(device), {}});
    }
  }
  return *current;
}

void forget(ValueCache& cache) {
  cache.batchTried = false;
  cache.readings.clear();
}

std::vector<std::uint32_t> readableIds(const LiveDevice& device) {
  std::vector<std::uint32_t> ids;
  const auto add = [&ids](const ControlDescription& control) {
    if ((control.flags & V4L2_CTRL_FLAG_WRITE_ONLY) == 0 &&
        std::find(ids.begin(), ids.end(), control.id) == ids.end())
      ids.push_back(control.id);
  };
  for (const ModelControl& control : device.model.controls) {
    add(control.primary);
    if (control.secondary) add(*control.secondary);
    if (control.automatic) add(control.automatic->control);
  }
  return ids;
}

const Reading* cached(const ValueCache& cache, std::uint32_t id) {
  for (const auto& [readId, reading] : cache.readings)
    if (readId == id) return &reading;
  return nullptr;
}

// The first value asked for reads every value of the device in one call; if
// the driver refuses that, each value is read on its own when asked for.
Reading readValue(LiveDevice& device, const ControlDescription& control) {
  if ((control.flags & V4L2_CTRL_FLAG_WRITE_ONLY) != 0) return Reading{EACCES, 0};
  ValueCache& cache = device.cache;
  if (const Reading* reading = cached(cache, control.id)) return *reading;
  if (!cache.batchTried) {
    cache.batchTried = true;
    const std::vector<std::uint32_t> ids = readableIds(device);
    std::vector<std::int32_t> values(ids.size(), 0);
    if (!ids.empty() && readControls(device.model.fd, ids, values) == 0) {
      for (std::size_t i = 0; i < ids.size(); ++i)
        cache.readings.emplace_back(ids[i], Reading{0, values[i]});
      if (const Reading* reading = cached(cache, control.id)) return *reading;
    }
  }
  std::int32_t value = 0;
  const std::uint32_t id = control.id;
  const int error = readControls(device.model.fd, {&id, 1}, {&value, 1});
  cache.readings.emplace_back(id, Reading{error, value});
  return Reading{error, value};
}

// The object an id names: the system, a device, or one of its controls.
struct Target {
  bool system = false;
  LiveDevice* device = nullptr;
  const ModelControl* control = nullptr;
};

std::optional<Target> resolve(ObjectId object) {
  if (object == systemObject) return Target{.system = true};
  const ObjectId deviceId = object - object % deviceIdStride;
  for (LiveDevice& device : state().devices) {
    if (device.model.objectId != deviceId) continue;
    if (object == deviceId) return Target{.device = &device};
    const std::size_t index = object - deviceId - 1;
    if (index < device.model.controls.size())
      return Target{.device = &device, .control = &device.model.controls[index]};
    return std::nullopt;
  }
  return std::nullopt;
}

bool inScope(const PropertyAddress& address) {
  return address.mScope == globalScope && address.mElement == mainElement;
}

bool has(const Target& target, std::uint32_t selector) {
  namespace s = selectors;
  if (target.system) return selector == s::devices;
  if (target.control == nullptr) {
    return selector == s::deviceUid || selector == s::name || selector == s::ownedObjects ||
           (selector == s::manufacturer && target.device->model.manufacturer);
  }
  const ModelControl& control = *target.control;
  if (selector == s::objectClass || selector == s::name) return true;
  if (control.role != ControlRole::Value)
    return selector == s::nativeData || selector == s::nativeDataRange;
  return selector == s::nativeValue || selector == s::nativeRange ||
         ((selector == s::absoluteValue || selector == s::absoluteRange) &&
          control.nativePerUnit) ||
         (selector == s::automaticManual && control.automatic);
}

// Which of the system's objects a list of owned objects asks for.
std::optional<bool> wantsControls(std::uint32_t qualifierSize, const void* qualifier) {
  if (qualifierSize == 0) return true;  // everything the device owns
  if (qualifier == nullptr || qualifierSize % sizeof(std::uint32_t) != 0) return std::nullopt;
  for (std::uint32_t offset = 0; offset < qualifierSize; offset += sizeof(std::uint32_t)) {
    std::uint32_t wanted = 0;
    std::memcpy(&wanted, static_cast<const std::uint8_t*>(qualifier) + offset, sizeof wanted);
    if (wanted == controlClass) return true;
  }
  return false;
}

// A fixed-size answer: the bytes, or why there are none.
struct Fixed {
  Status status;
  std::uint32_t size;
  std::array<std::uint8_t, 16> bytes;
};

template <typename Value>
Fixed fixed(const Value& value) {
  static_assert(sizeof(Value) <= 16);
  Fixed answer{noErr, sizeof(Value), {}};
  std::memcpy(answer.bytes.data(), &value, sizeof(Value));
  return answer;
}

template <std::size_t N>
Fixed fixedBytes(const std::array<std::uint8_t, N>& bytes) {
  Fixed answer{noErr, N, {}};
  std::copy(bytes.begin(), bytes.end(), answer.bytes.begin());
  return answer;
}

Fixed failed(int error) {
  return Fixed{statusOfError(error), 0, {}};
}

std::uint32_t fixedSize(const ModelControl* control, std::uint32_t selector) {
  namespace s = selectors;
  if (selector == s::nativeRange || selector == s::absoluteRange) return 16;
  if (selector == s::deviceUid || selector == s::name || selector == s::manufacturer)
    return sizeof(StringRef);
  if (selector == s::nativeData) return control->role == ControlRole::PanTiltPosition ? 8 : 4;
  if (selector == s::nativeDataRange) return control->role == ControlRole::PanTiltPosition ? 16 : 8;
  return 4;
}

Fixed controlValue(LiveDevice& device, const ModelControl& control, std::uint32_t selector) {
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
    case s::nativeValue:
    case s::absoluteValue: {
      const Reading reading = readValue(device, primary);
      if (reading.error != 0) return failed(reading.error);
      if (selector == s::nativeValue) return fixed(static_cast<float>(reading.value));
      return fixed(static_cast<float>(absoluteFromNative(reading.value, *control.nativePerUnit)));
    }
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
      return fixedBytes(speedRecord(pan.value, tilt.value));
    }
    case s::nativeDataRange: {
      const ControlDescription& tilt = *control.secondary;
      std::array<std::uint8_t, 16> bytes{};
      if (control.role == ControlRole::PanTiltPosition) {
        const auto lowest = positionRecord(saturated(primary.minimum), saturated(tilt.minimum));
        const auto highest = positionRecord(saturated(primary.maximum), saturated(tilt.maximum));
        std::copy(lowest.begin(), lowest.end(), bytes.begin());
        std::copy(highest.begin(), highest.end(), bytes.begin() + 8);
        return Fixed{noErr, 16, bytes};
      }
      const auto lowest = speedRecord(primary.minimum, tilt.minimum);
      const auto highest = speedRecord(primary.maximum, tilt.maximum);
      std::copy(lowest.begin(), lowest.end(), bytes.begin());
      std::copy(highest.begin(), highest.end(), bytes.begin() + 4);
      return Fixed{noErr, 8, bytes};
    }
    default:
      return Fixed{status::unknownProperty, 0, {}};
  }
}

Fixed deviceValue(const LiveDevice& device, std::uint32_t selector) {
  switch (selector) {
    case selectors::deviceUid:
      return fixed(static_cast<StringRef>(&device.model.uid));
    case selectors::name:
      return fixed(static_cast<StringRef>(&device.model.name));
    case selectors::manufacturer:
      return fixed(static_cast<StringRef>(&*device.model.manufacturer));
    default:
      return Fixed{status::unknownProperty, 0, {}};
  }
}

std::uint32_t copyIds(const std::vector<ObjectId>& ids, std::uint32_t dataSize, void* data) {
  const std::size_t count = std::min<std::size_t>(ids.size(), dataSize / sizeof(ObjectId));
  if (count != 0) std::memcpy(data, ids.data(), count * sizeof(ObjectId));
  return static_cast<std::uint32_t>(count * sizeof(ObjectId));
}

std::vector<ObjectId> controlIds(const LiveDevice& device) {
  std::vector<ObjectId> ids;
  ids.reserve(device.model.controls.size());
  for (const ModelControl& control : device.model.controls) ids.push_back(control.objectId);
  return ids;
}

// A refused write, told apart by what the control's state explains.
Status writeStatus(LiveDevice& device, const ModelControl& control,
                   std::span<const ControlDescription* const> written, int error) {
  if (error == EACCES) {
    for (const ControlDescription* one : written)
      if ((one->flags & V4L2_CTRL_FLAG_READ_ONLY) != 0) return status::readOnly;
    if (control.automatic && written.front()->id != control.automatic->control.id) {
      const Reading partner = readValue(device, control.automatic->control);
      if (partner.error == 0 && isAutomatic(control.automatic->style, partner.value))
        return status::locked;
    }
  }
  return statusOfError(error);
}

Status writeNative(LiveDevice& device, const ModelControl& control,
                   std::initializer_list<const ControlDescription*> targets,
                   std::initializer_list<std::int32_t> values) {
  std::array<std::uint32_t, 2> ids{};
  std::size_t count = 0;
  for (const ControlDescription* target : targets) ids[count++] = target->id;
  const int error = writeControls(device.model.fd, std::span(ids.data(), count),
                                  std::span(values.begin(), count));
  forget(device.cache);  // the next read sees what the driver made of it
  if (error == 0) return noErr;
  const std::vector<const ControlDescription*> written(targets);
  return writeStatus(device, control, written, error);
}

// Automatic on: aperture priority where the camera offers it, else full auto.
std::int32_t exposureMenuValue(const LiveDevice& device, const ControlDescription& menu,
                               bool automatic) {
  if (!automatic) return V4L2_EXPOSURE_MANUAL;
  if (menuOffers(device.model.fd, menu.id, V4L2_EXPOSURE_APERTURE_PRIORITY))
    return V4L2_EXPOSURE_APERTURE_PRIORITY;
  return V4L2_EXPOSURE_AUTO;
}

Status writeControl(LiveDevice& device, const ModelControl& control, std::uint32_t selector,
                    std::uint32_t dataSize, const void* data) {
  namespace s = selectors;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  switch (selector) {
    case s::nativeValue:
    case s::absoluteValue: {
      if (dataSize != sizeof(float) || data == nullptr) return status::badSize;
      float number = 0;
      std::memcpy(&number, data, sizeof number);
      const auto native = selector == s::nativeValue
                              ? nativeFromNumber(number)
                              : nativeFromAbsolute(number, *control.nativePerUnit, control.primary);
      if (!native) return status::badValue;
      return writeNative(device, control, {&control.primary}, {*native});
    }
    case s::automaticManual: {
      if (dataSize != sizeof(std::uint32_t) || data == nullptr) return status::badSize;
      std::uint32_t flag = 0;
      std::memcpy(&flag, data, sizeof flag);
      const AutomaticPartner& partner = *control.automatic;
      const std::int32_t value = partner.style == AutomaticStyle::Switch
                                     ? (flag != 0 ? 1 : 0)
                                     : exposureMenuValue(device, partner.control, flag != 0);
      return writeNative(device, control, {&partner.control}, {value});
    }
    case s::nativeData: {
      if (control.role == ControlRole::PanTiltPosition) {
        if (dataSize != 8 || data == nullptr) return status::badSize;
        const auto position = positionOf(std::span<const std::uint8_t, 8>(bytes, 8));
        return writeNative(device, control, {&control.primary, &*control.secondary},
                           {position[0], position[1]});
      }
      if (dataSize != 4 || data == nullptr) return status::badSize;
      const auto speeds = speedsOf(std::span<const std::uint8_t, 4>(bytes, 4));
      return writeNative(device, control, {&control.primary, &*control.secondary},
                         {speeds[0], speeds[1]});
    }
    default:
      return status::refused;  // ranges, names and the class are the driver's
  }
}

}  // namespace

std::uint8_t hasProperty(ObjectId object, const PropertyAddress& address) {
  if (!inScope(address)) return 0;
  const auto target = resolve(object);
  return target && has(*target, address.mSelector) ? 1 : 0;
}

Status getPropertyDataSize(ObjectId object, const PropertyAddress& address,
                           std::uint32_t qualifierSize, const void* qualifier,
                           std::uint32_t& dataSize) {
  const auto target = resolve(object);
  if (!target) return status::badObject;
  if (!inScope(address) || !has(*target, address.mSelector)) return status::unknownProperty;
  if (target->system) {
    dataSize = static_cast<std::uint32_t>(state().deviceIds.size() * sizeof(ObjectId));
  } else if (address.mSelector == selectors::ownedObjects) {
    const auto controls = wantsControls(qualifierSize, qualifier);
    if (!controls) return status::badSize;
    dataSize =
        *controls
            ? static_cast<std::uint32_t>(target->device->model.controls.size() * sizeof(ObjectId))
            : 0;
  } else {
    dataSize = fixedSize(target->control, address.mSelector);
  }
  return noErr;
}

Status getPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, std::uint32_t& dataUsed,
                       void* data) {
  const auto target = resolve(object);
  if (!target) return status::badObject;
  if (!inScope(address) || !has(*target, address.mSelector)) return status::unknownProperty;
  if (target->system) {
    // A new look at the cameras: every value is read afresh.
    for (LiveDevice& device : state().devices) forget(device.cache);
    dataUsed = copyIds(state().deviceIds, dataSize, data);
    return noErr;
  }
  if (address.mSelector == selectors::ownedObjects) {
    const auto controls = wantsControls(qualifierSize, qualifier);
    if (!controls) return status::badSize;
    dataUsed = *controls ? copyIds(controlIds(*target->device), dataSize, data) : 0;
    return noErr;
  }
  const Fixed answer = target->control
                           ? controlValue(*target->device, *target->control, address.mSelector)
                           : deviceValue(*target->device, address.mSelector);
  if (answer.status != noErr) return answer.status;
  if (dataSize < answer.size || data == nullptr) return status::badSize;
  std::memcpy(data, answer.bytes.data(), answer.size);
  dataUsed = answer.size;
  return noErr;
}

Status isPropertySettable(ObjectId object, const PropertyAddress& address, std::uint8_t& settable) {
  const auto target = resolve(object);
  if (!target) return status::badObject;
  if (!inScope(address) || !has(*target, address.mSelector)) return status::unknownProperty;
  const ModelControl* control = target->control;
  bool answer = false;
  if (control != nullptr) {
    switch (address.mSelector) {
      case selectors::nativeValue:
      case selectors::absoluteValue:
        answer = writable(control->primary);
        break;
      case selectors::automaticManual:
        answer = writable(control->automatic->control);
        break;
      case selectors::nativeData:
        answer = writable(control->primary) && writable(*control->secondary);
        break;
      default:
        break;
    }
  }
  settable = answer ? 1 : 0;
  return noErr;
}

Status setPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, const void* data) {
  (void)qualifierSize;
  (void)qualifier;
  const auto target = resolve(object);
  if (!target) return status::badObject;
  if (!inScope(address) || !has(*target, address.mSelector)) return status::unknownProperty;
  if (target->control == nullptr) return status::refused;
  return writeControl(*target->device, *target->control, address.mSelector, dataSize, data);
}

std::optional<std::string> stringText(StringRef reference) {
  return *static_cast<const std::string*>(reference);
}

// The service's strings live as long as the run; a reader's release has
// nothing to free.
void releaseString(StringRef reference) {
  (void)reference;
}

}  // namespace camknob::service

namespace camknob::v4l2 {

void forgetDevices() {
  auto& current = service::stored();
  if (!current) return;
  for (const service::LiveDevice& device : current->devices)
    if (device.model.fd >= 0) closeNode(device.model.fd);
  current.reset();
}

}  // namespace camknob::v4l2
