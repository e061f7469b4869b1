#include "media/v4l2/control_writes.h"

#include <linux/videodev2.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <span>

#include "media/v4l2/device_status.h"
#include "media/v4l2/native_values.h"
#include "vocabulary/pan_tilt_records.h"

namespace camknob::v4l2 {

namespace {

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
  forgetValues(device.cache);  // the next read sees what the driver made of it
  if (error == 0) return noErr;
  return writeStatus(device, control, std::span(targets.begin(), targets.size()), error);
}

// Automatic on: aperture priority where the camera offers it, else full auto.
std::int32_t exposureMenuValue(const LiveDevice& device, const ControlDescription& menu,
                               bool automatic) {
  if (!automatic) return V4L2_EXPOSURE_MANUAL;
  if (menuOffers(device.model.fd, menu.id, V4L2_EXPOSURE_APERTURE_PRIORITY))
    return V4L2_EXPOSURE_APERTURE_PRIORITY;
  return V4L2_EXPOSURE_AUTO;
}

}  // namespace

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
      const auto speeds = movementOf(std::span<const std::uint8_t, 4>(bytes, 4));
      return writeNative(device, control, {&control.primary, &*control.secondary},
                         {speeds[0], speeds[1]});
    }
    default:
      return status::refused;  // ranges, names and the class are the driver's
  }
}

}  // namespace camknob::v4l2
