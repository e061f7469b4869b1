// The property service over V4L2: each video capture node is a device, each
// of its controls (or pair of controls) a control object. What the driver
// describes is read once per run; values are read once per look at the
// cameras, all of a device's in one call where the driver allows it. A
// program that runs long looks at the machine again when it asks, and may
// have the machine watched.
#include "media/v4l2/v4l2_service.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "media/property_service.h"
#include "media/v4l2/control_properties.h"
#include "media/v4l2/control_writes.h"
#include "media/v4l2/device_status.h"
#include "media/v4l2/machine_look.h"
#include "media/v4l2/menu_properties.h"

namespace camknob::service {

namespace {

using namespace camknob::v4l2;

// Everything the service keeps, in this one place: the devices of the last
// look at the machine (the first look on first use, another at each rescan)
// and the watch on the machine, once a program asks for one.
struct State {
  bool looked = false;
  // /dev's video nodes at the last look, or the last news taken without a
  // watch.
  std::vector<std::string> nodesSeen;
  std::vector<LiveDevice> devices;
  std::vector<ObjectId> deviceIds;
  Watching watching;
};

State& stored() {
  static State instance;
  return instance;
}

void look(State& current) {
  current.looked = true;
  current.nodesSeen = videoNodesInOrder();
  current.devices = lookAgain(current.nodesSeen, std::move(current.devices), current.watching);
  current.deviceIds.clear();
  for (const LiveDevice& device : current.devices)
    current.deviceIds.push_back(device.model.objectId);
}

// Found on first use and kept until the next look, so object ids and string
// references stay valid; a device still there at a new look keeps its ids.
State& state() {
  State& current = stored();
  if (!current.looked) look(current);
  return current;
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

bool has(const Target& target, const PropertyAddress& address) {
  if (address.mScope != globalScope || address.mElement != mainElement) return false;
  if (target.system) return address.mSelector == selectors::devices;
  if (target.control == nullptr) return deviceHas(target.device->model, address.mSelector);
  return controlHas(*target.control, address.mSelector);
}

// Whether a request for owned objects asks for controls: with no qualifier
// it asks for everything; otherwise the qualifier lists the classes wanted.
std::optional<bool> wantsControls(std::uint32_t qualifierSize, const void* qualifier) {
  if (qualifierSize == 0) return true;
  if (qualifier == nullptr || qualifierSize % sizeof(std::uint32_t) != 0) return std::nullopt;
  for (std::uint32_t offset = 0; offset < qualifierSize; offset += sizeof(std::uint32_t)) {
    std::uint32_t wanted = 0;
    std::memcpy(&wanted, static_cast<const std::uint8_t*>(qualifier) + offset, sizeof wanted);
    if (wanted == controlClass) return true;
  }
  return false;
}

std::uint32_t copyIds(const std::vector<ObjectId>& ids, std::uint32_t dataSize, void* data) {
  const std::size_t count = std::min<std::size_t>(ids.size(), dataSize / sizeof(ObjectId));
  if (count != 0) std::memcpy(data, ids.data(), count * sizeof(ObjectId));
  return static_cast<std::uint32_t>(count * sizeof(ObjectId));
}

std::vector<ObjectId> controlIds(const ModelDevice& device) {
  std::vector<ObjectId> ids;
  ids.reserve(device.controls.size());
  for (const ModelControl& control : device.controls) ids.push_back(control.objectId);
  return ids;
}

// The answer of a device's or control's property of a fixed size (a menu
// item's with the qualifier that names the item).
PropertyAnswer fixedAnswer(const Target& target, std::uint32_t selector,
                           std::uint32_t qualifierSize, const void* qualifier) {
  if (target.control == nullptr) return deviceProperty(target.device->model, selector);
  if (isMenuItemSelector(selector))
    return menuItemProperty(*target.control, selector, qualifierSize, qualifier);
  return controlProperty(*target.device, *target.control, selector);
}

}  // namespace

std::uint8_t hasProperty(ObjectId object, const PropertyAddress& address) {
  const auto target = resolve(object);
  return target && has(*target, address) ? 1 : 0;
}

Status getPropertyDataSize(ObjectId object, const PropertyAddress& address,
                           std::uint32_t qualifierSize, const void* qualifier,
                           std::uint32_t& dataSize) {
  const auto target = resolve(object);
  if (!target) return status::badObject;
  if (!has(*target, address)) return status::unknownProperty;
  if (target->system) {
    dataSize = static_cast<std::uint32_t>(state().deviceIds.size() * sizeof(ObjectId));
  } else if (address.mSelector == selectors::ownedObjects) {
    const auto controls = wantsControls(qualifierSize, qualifier);
    if (!controls) return status::badSize;
    const std::size_t count = *controls ? target->device->model.controls.size() : 0;
    dataSize = static_cast<std::uint32_t>(count * sizeof(ObjectId));
  } else if (address.mSelector == selectors::menuItems) {
    dataSize = static_cast<std::uint32_t>(target->control->menuItems.size() * sizeof(ObjectId));
  } else if (isMenuItemSelector(address.mSelector)) {
    // Whether the qualifier names an item is known only by looking.
    const PropertyAnswer answer = fixedAnswer(*target, address.mSelector, qualifierSize, qualifier);
    if (answer.status != noErr) return answer.status;
    dataSize = answer.size;
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
  if (!has(*target, address)) return status::unknownProperty;
  if (target->system) {
    // A new look at the cameras: every value is read afresh.
    for (LiveDevice& device : state().devices) forgetValues(device.cache);
    dataUsed = copyIds(state().deviceIds, dataSize, data);
    return noErr;
  }
  if (address.mSelector == selectors::ownedObjects) {
    const auto controls = wantsControls(qualifierSize, qualifier);
    if (!controls) return status::badSize;
    dataUsed = *controls ? copyIds(controlIds(target->device->model), dataSize, data) : 0;
    return noErr;
  }
  if (address.mSelector == selectors::menuItems) {
    dataUsed = copyIds(menuIndexes(*target->control), dataSize, data);
    return noErr;
  }
  const PropertyAnswer answer = fixedAnswer(*target, address.mSelector, qualifierSize, qualifier);
  if (answer.status != noErr) return answer.status;
  if (dataSize < answer.size || data == nullptr) return status::badSize;
  std::memcpy(data, answer.bytes.data(), answer.size);
  dataUsed = answer.size;
  return noErr;
}

Status isPropertySettable(ObjectId object, const PropertyAddress& address, std::uint8_t& settable) {
  const auto target = resolve(object);
  if (!target) return status::badObject;
  if (!has(*target, address)) return status::unknownProperty;
  settable = target->control && controlSettable(*target->control, address.mSelector) ? 1 : 0;
  return noErr;
}

Status setPropertyData(ObjectId object, const PropertyAddress& address, std::uint32_t qualifierSize,
                       const void* qualifier, std::uint32_t dataSize, const void* data) {
  (void)qualifierSize;  // no property of this service takes one for a write
  (void)qualifier;
  const auto target = resolve(object);
  if (!target) return status::badObject;
  if (!has(*target, address)) return status::unknownProperty;
  if (target->control == nullptr) return status::refused;
  return writeControl(*target->device, *target->control, address.mSelector, dataSize, data);
}

std::optional<std::string> stringText(StringRef reference) {
  return *static_cast<const std::string*>(reference);
}

// The service's strings live until the next look at the machine; a reader's
// release has nothing to free.
void releaseString(StringRef reference) {
  (void)reference;
}

void rescanDevices() {
  look(stored());
}

void refreshDevice(ObjectId device) {
  if (const auto target = resolve(device); target && target->device)
    forgetValues(target->device->cache);
}

// No device is opened or asked anything: the nodes of the devices already
// found are watched from now on, those found later as they are found.
int startWatching() {
  State& current = stored();
  Watching& watching = current.watching;
  if (watching.descriptor < 0) {
    watching.descriptor = watchVideoNodes();
    for (const LiveDevice& device : current.devices) watchNode(watching, device.model.nodeName);
  }
  return watching.descriptor;
}

ServiceNews takeNews() {
  State& current = stored();
  Watching& watching = current.watching;
  ServiceNews news{false, {}};
  if (watching.descriptor < 0) {
    // Without a watch, only whether the nodes in /dev are still the same.
    if (!current.looked) return news;
    std::vector<std::string> nodes = videoNodesInOrder();
    news.devicesChanged = nodes != current.nodesSeen;
    current.nodesSeen = std::move(nodes);
    return news;
  }
  takeEvents(watching);
  news.devicesChanged = watching.devicesChanged;
  for (const std::string& node : watching.openedElsewhere)
    for (const LiveDevice& device : current.devices)
      if (device.model.nodeName == node) news.openedElsewhere.push_back(device.model.objectId);
  watching.devicesChanged = false;
  watching.openedElsewhere.clear();
  return news;
}

}  // namespace camknob::service

namespace camknob::v4l2 {

void forgetDevices() {
  auto& current = service::stored();
  for (const LiveDevice& device : current.devices) closeDevice(device);
  stopWatching(current.watching);
  current = service::State{};
}

}  // namespace camknob::v4l2
