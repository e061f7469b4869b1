#include "media/v4l2/control_model.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <array>

#include "media/v4l2/class_codes.h"
#include "media/v4l2/device_text.h"
#include "vocabulary/control_kinds.h"

namespace camknob::v4l2 {

namespace {

struct Partnership {
  std::uint32_t automaticId;
  std::array<std::uint32_t, 3> valueIds;  // 0 marks an unused slot
  AutomaticStyle style;
};

// The automatic mode that switches each value control. The exposure menu
// serves the exposure time, or a driver's plain exposure where that is all
// it has.
constexpr std::array<Partnership, 5> partnerships{{
    {V4L2_CID_EXPOSURE_AUTO, {V4L2_CID_EXPOSURE_ABSOLUTE, 0, 0}, AutomaticStyle::ExposureMenu},
    {V4L2_CID_FOCUS_AUTO, {V4L2_CID_FOCUS_ABSOLUTE, 0, 0}, AutomaticStyle::Switch},
    {V4L2_CID_AUTO_WHITE_BALANCE,
     {V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_RED_BALANCE, V4L2_CID_BLUE_BALANCE},
     AutomaticStyle::Switch},
    {V4L2_CID_HUE_AUTO, {V4L2_CID_HUE, 0, 0}, AutomaticStyle::Switch},
    {V4L2_CID_AUTOGAIN, {V4L2_CID_GAIN, 0, 0}, AutomaticStyle::Switch},
}};

// Units V4L2 fixes: exposure time in 100 µs steps, white balance in kelvin,
// pan and tilt in arc-seconds (given in degrees).
std::optional<double> nativePerUnitOf(std::uint32_t id) {
  switch (id) {
    case V4L2_CID_EXPOSURE_ABSOLUTE:
      return 10000.0;
    case V4L2_CID_WHITE_BALANCE_TEMPERATURE:
      return 1.0;
    case V4L2_CID_PAN_ABSOLUTE:  // on its own; a pair is native data
    case V4L2_CID_TILT_ABSOLUTE:
      return 3600.0;
    default:
      return std::nullopt;
  }
}

bool listable(const ControlDescription& control) {
  if ((control.flags & V4L2_CTRL_FLAG_DISABLED) != 0) return false;
  switch (control.type) {
    case V4L2_CTRL_TYPE_INTEGER:
    case V4L2_CTRL_TYPE_BOOLEAN:
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
      return true;
    default:
      return false;
  }
}

const ControlDescription* find(const std::vector<const ControlDescription*>& controls,
                               std::uint32_t id) {
  for (const ControlDescription* control : controls)
    if (control->id == id) return control;
  return nullptr;
}

// Pan and tilt go together when both are plain integers.
const ControlDescription* pairedTilt(const std::vector<const ControlDescription*>& controls,
                                     std::uint32_t panId, std::uint32_t tiltId) {
  const ControlDescription* pan = find(controls, panId);
  const ControlDescription* tilt = find(controls, tiltId);
  if (pan == nullptr || tilt == nullptr || pan->type != V4L2_CTRL_TYPE_INTEGER ||
      tilt->type != V4L2_CTRL_TYPE_INTEGER)
    return nullptr;
  return tilt;
}

}  // namespace

bool writable(const ControlDescription& control) {
  return (control.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED)) == 0;
}

bool isAutomatic(AutomaticStyle style, std::int32_t value) {
  if (style == AutomaticStyle::Switch) return value != 0;
  return value == V4L2_EXPOSURE_AUTO || value == V4L2_EXPOSURE_APERTURE_PRIORITY;
}

std::vector<ModelControl> modelControls(ObjectId deviceId,
                                        const std::vector<ControlDescription>& described) {
  std::vector<const ControlDescription*> listed;
  for (const ControlDescription& control : described)
    if (listable(control)) listed.push_back(&control);

  // Each value control's automatic partner; a partner that serves a listed
  // value control is not listed again.
  std::vector<std::pair<std::uint32_t, AutomaticPartner>> partnerOf;
  std::vector<std::uint32_t> absorbed;
  for (const Partnership& partnership : partnerships) {
    const ControlDescription* automatic = find(listed, partnership.automaticId);
    if (automatic == nullptr) continue;
    for (const std::uint32_t valueId : partnership.valueIds) {
      if (valueId == 0 || find(listed, valueId) == nullptr) continue;
      partnerOf.emplace_back(valueId, AutomaticPartner{*automatic, partnership.style});
      absorbed.push_back(automatic->id);
    }
    // A camera with an exposure menu but only the driver's plain exposure.
    if (partnership.automaticId == V4L2_CID_EXPOSURE_AUTO &&
        find(listed, V4L2_CID_EXPOSURE_ABSOLUTE) == nullptr &&
        find(listed, V4L2_CID_EXPOSURE) != nullptr) {
      partnerOf.emplace_back(V4L2_CID_EXPOSURE, AutomaticPartner{*automatic, partnership.style});
      absorbed.push_back(automatic->id);
    }
  }
  const ControlDescription* positionTilt =
      pairedTilt(listed, V4L2_CID_PAN_ABSOLUTE, V4L2_CID_TILT_ABSOLUTE);
  const ControlDescription* speedTilt = pairedTilt(listed, V4L2_CID_PAN_SPEED, V4L2_CID_TILT_SPEED);

  std::vector<ModelControl> controls;
  for (const ControlDescription* control : listed) {
    if (std::find(absorbed.begin(), absorbed.end(), control->id) != absorbed.end()) continue;
    if (control == positionTilt || control == speedTilt) continue;  // listed with its pan
    // Object ids stay below the next device's.
    if (controls.size() + 1 >= deviceIdStride) break;
    const ObjectId objectId = deviceId + ObjectId(controls.size()) + 1;

    if (positionTilt != nullptr && control->id == V4L2_CID_PAN_ABSOLUTE) {
      controls.push_back(ModelControl{objectId, classCodeOfKind(panTiltAbsoluteKind),
                                      deviceText(control->name + " + " + positionTilt->name),
                                      ControlRole::PanTiltPosition, *control, *positionTilt,
                                      std::nullopt, std::nullopt});
      continue;
    }
    if (speedTilt != nullptr && control->id == V4L2_CID_PAN_SPEED) {
      controls.push_back(ModelControl{objectId, classCodeOfKind(panTiltRelativeKind),
                                      deviceText(control->name + " + " + speedTilt->name),
                                      ControlRole::PanTiltSpeed, *control, *speedTilt, std::nullopt,
                                      std::nullopt});
      continue;
    }
    std::optional<AutomaticPartner> automatic;
    for (const auto& [valueId, partner] : partnerOf)
      if (valueId == control->id) automatic = partner;
    const bool integer = control->type == V4L2_CTRL_TYPE_INTEGER;
    controls.push_back(ModelControl{objectId, classCodeOf(control->id), deviceText(control->name),
                                    ControlRole::Value, *control, std::nullopt, automatic,
                                    integer ? nativePerUnitOf(control->id) : std::nullopt});
  }
  return controls;
}

}  // namespace camknob::v4l2
