#include "discovery/list_devices.h"

#include "discovery/inspect_control.h"
#include "media/property_access.h"

namespace camknob {

std::optional<CameraDevice> inspectDevice(ObjectId deviceId) {
  auto uid = readString(deviceId, selectors::deviceUid);
  if (!uid) return std::nullopt;
  auto name = readString(deviceId, selectors::name);
  if (!name) return std::nullopt;
  const std::vector<ObjectId> controlIds =
      readObjectIds(deviceId, selectors::ownedObjects, controlClass);
  auto manufacturer = readString(deviceId, selectors::manufacturer);

  std::vector<CameraControl> controls;
  controls.reserve(controlIds.size());
  for (const ObjectId controlId : controlIds)
    if (auto control = inspectControl(controlId)) controls.push_back(std::move(*control));

  return CameraDevice{.objectId = deviceId,
                      .uid = std::move(*uid),
                      .name = std::move(*name),
                      .manufacturer = std::move(manufacturer),
                      .controls = std::move(controls)};
}

std::vector<CameraDevice> listDevices() {
  const std::vector<ObjectId> deviceIds =
      readObjectIds(systemObject, selectors::devices, std::nullopt);
  std::vector<CameraDevice> devices;
  devices.reserve(deviceIds.size());
  for (const ObjectId deviceId : deviceIds)
    if (auto device = inspectDevice(deviceId)) devices.push_back(std::move(*device));
  return devices;
}

}  // namespace camknob
