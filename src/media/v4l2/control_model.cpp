#include "media/v4l2/control_model.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "json/json_text.h"
#include "media/v4l2/class_codes.h"
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
// pan and tilt in arc-seconds (given in degrees). The one place an absolute
// value's scale and unit are decided.
struct AbsoluteScale {
  std::uint32_t id;
  double nativePerUnit;
  std::string_view unit;
};

constexpr std::array<AbsoluteScale, 4> absoluteScales{{
    {V4L2_CID_EXPOSURE_ABSOLUTE, 10000.0, "seconds"},
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, 1.0, "kelvin"},
    {V4L2_CID_PAN_ABSOLUTE, 3600.0, "degrees"},  // on its own; a pair is native data
    {V4L2_CID_TILT_ABSOLUTE, 3600.0, "degrees"},
}};

const AbsoluteScale* absoluteScaleOf(std::uint32_t id) {
  for (const AbsoluteScale& scale : absoluteScales)
    if (scale.id == id) return &scale;
  return nullptr;
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

// Each value control's automatic partner; a partner that serves a listed
// value control is not listed again.
struct Partners {
  std::vector<std::pair<std::uint32_t, AutomaticPartner>> ofValue;  // by value control id
  std::vector<std::uint32_t> absorbed;
};

Partners partnersOf(const std::vector<const ControlDescription*>& listed) {
  Partners partners;
  const auto join = [&](std::uint32_t valueId, const ControlDescription& automatic,
                        AutomaticStyle style) {
    partners.ofValue.emplace_back(valueId, AutomaticPartner{automatic, style});
    partners.absorbed.push_back(automatic.id);
  };
  for (const Partnership& partnership : partnerships) {
    const ControlDescription* automatic = find(listed, partnership.automaticId);
    if (automatic == nullptr) continue;
    for (const std::uint32_t valueId : partnership.valueIds)
      if (valueId != 0 && find(listed, valueId) != nullptr)
        join(valueId, *automatic, partnership.style);
    // A camera with an exposure menu but only the driver's plain exposure.
    if (partnership.automaticId == V4L2_CID_EXPOSURE_AUTO &&
        find(listed, V4L2_CID_EXPOSURE_ABSOLUTE) == nullptr &&
        find(listed, V4L2_CID_EXPOSURE) != nullptr)
      join(V4L2_CID_EXPOSURE, *automatic, partnership.style);
  }
  return partners;
}

// Pan with tilt as one control, named after both.
ModelControl pairedControl(ObjectId objectId, std::uint32_t classCode, ControlRole role,
                           const ControlDescription& pan, const ControlDescription& tilt) {
  return ModelControl{objectId,     classCode,    repairedUtf8(pan.name + " + " + tilt.name),
                      role,         pan,          tilt,
                      std::nullopt, std::nullopt, std::nullopt};
}

ModelControl valueControl(ObjectId objectId, const ControlDescription& control,
                          const Partners& partners) {
  std::optional<AutomaticPartner> automatic;
  for (const auto& [valueId, partner] : partners.ofValue)
    if (valueId == control.id) automatic = partner;
  const AbsoluteScale* scale =
      control.type == V4L2_CTRL_TYPE_INTEGER ? absoluteScaleOf(control.id) : nullptr;
  return ModelControl{objectId,
                      classCodeOf(control.id),
                      repairedUtf8(control.name),
                      ControlRole::Value,
                      control,
                      std::nullopt,
                      automatic,
                      scale ? std::optional(scale->nativePerUnit) : std::nullopt,
                      scale ? std::optional(std::string(scale->unit)) : std::nullopt};
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
  const Partners partners = partnersOf(listed);
  const ControlDescription* positionTilt =
      pairedTilt(listed, V4L2_CID_PAN_ABSOLUTE, V4L2_CID_TILT_ABSOLUTE);
  const ControlDescription* speedTilt = pairedTilt(listed, V4L2_CID_PAN_SPEED, V4L2_CID_TILT_SPEED);

  std::vector<ModelControl> controls;
  for (const ControlDescription* control : listed) {
    if (std::find(partners.absorbed.begin(), partners.absorbed.end(), control->id) !=
        partners.absorbed.end())
      continue;
    if (control == positionTilt || control == speedTilt) continue;  // listed with its pan
    // Object ids stay below the next device's.
    if (controls.size() + 1 >= deviceIdStride) break;
    const ObjectId objectId = deviceId + ObjectId(controls.size()) + 1;
    if (positionTilt != nullptr && control->id == V4L2_CID_PAN_ABSOLUTE) {
      controls.push_back(pairedControl(objectId, classCodeOfKind(panTiltAbsoluteKind),
                                       ControlRole::PanTiltPosition, *control, *positionTilt));
    } else if (speedTilt != nullptr && control->id == V4L2_CID_PAN_SPEED) {
      controls.push_back(pairedControl(objectId, classCodeOfKind(panTiltRelativeKind),
                                       ControlRole::PanTiltSpeed, *control, *speedTilt));
    } else {
      controls.push_back(valueControl(objectId, *control, partners));
    }
  }
  return controls;
}

}  // namespace camknob::v4l2
