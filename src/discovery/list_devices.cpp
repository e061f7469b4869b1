#include "discovery/list_devices.h"

#include "discovery/inspect_control.h"
#include "media/property_access.h"

namespace camknob {

std::vector<CameraDevice> listDevices() {
  const std::vector<ObjectId> deviceIds =
      readObjectIds(systemObject, selectors::devices, std::nullopt);
  std::vector<CameraDevice> devices;
  devices.reserve(deviceIds.size());
  for (const ObjectId deviceId : deviceIds) {
    auto uid = readString(deviceId, selectors::deviceUid);
    if (!uid) continue;
    auto name = readString(deviceId, selectors::name);
    if (!name) continue;
    const std::vector<ObjectId> controlIds =
        readObjectIds(deviceId, selectors::ownedObjects, controlClass);
    auto manufacturer = readString(deviceId, selectors::manufacturer);

    std::vector<CameraControl> controls;
    controls.reserve(controlIds.size());
    for (const ObjectId controlId : controlIds)
      if (auto control = inspectControl(controlId)) controls.push_back(std::move(*control));

    devices.push_back(CameraDevice{.objectId = deviceId,
                                   .uid = std::move(*uid),
                                   .name = std::move(*name),
                                   .manufacturer = std::move(manufacturer),
                                   .controls = std::move(controls)});
  }
  return devices;
}

}  // namespace camknob
