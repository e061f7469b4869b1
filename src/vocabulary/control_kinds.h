// The control classes the tool knows by a short kind name, the vocabulary of
// --control and of the pan/tilt commands.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "media/property_types.h"

namespace camknob {

struct ControlKind {
  std::uint32_t classCode;
  std::string_view name;
};

inline constexpr std::array<ControlKind, 28> controlKinds{{
    {fourCharCode("bklv"), "blackLevel"},
    {fourCharCode("whlv"), "whiteLevel"},
    {fourCharCode("hue "), "hue"},
    {fourCharCode("satu"), "saturation"},
    {fourCharCode("ctst"), "contrast"},
    {fourCharCode("shrp"), "sharpness"},
    {fourCharCode("brit"), "brightness"},
    {fourCharCode("gain"), "gain"},
    {fourCharCode("iris"), "iris"},
    {fourCharCode("shtr"), "shutter"},
    {fourCharCode("xpsr"), "exposure"},
    {fourCharCode("whbu"), "whiteBalanceU"},
    {fourCharCode("whbv"), "whiteBalanceV"},
    {fourCharCode("whbl"), "whiteBalance"},
    {fourCharCode("gmma"), "gamma"},
    {fourCharCode("temp"), "temperature"},
    {fourCharCode("zoom"), "zoom"},
    {fourCharCode("fcus"), "focus"},
    {fourCharCode("pan "), "pan"},
    {fourCharCode("tilt"), "tilt"},
    {fourCharCode("opft"), "opticalFilter"},
    {fourCharCode("bklt"), "backlightCompensation"},
    {fourCharCode("pwfq"), "powerLineFrequency"},
    {fourCharCode("s2nr"), "noiseReduction"},
    {fourCharCode("ptab"), "panTiltAbsolute"},
    {fourCharCode("ptrl"), "panTiltRelative"},
    {fourCharCode("zomr"), "zoomRelative"},
    {fourCharCode("rola"), "roll"},
}};

inline constexpr std::string_view panTiltAbsoluteKind = "panTiltAbsolute";
inline constexpr std::string_view panTiltRelativeKind = "panTiltRelative";

// The kind name of a class code, or nothing for a class outside the table.
constexpr std::optional<std::string_view> controlKindName(std::uint32_t classCode) {
  for (const ControlKind& kind : controlKinds)
    if (kind.classCode == classCode) return kind.name;
  return std::nullopt;
}

}  // namespace camknob
