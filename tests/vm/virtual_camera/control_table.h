// The controls of the virtual camera: what each one is, its range and default,
// and the value it starts with.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "virtual_camera/usb_bytes.h"

namespace camknob::virtual_camera {

// How a SET_CUR value is checked.
enum class ValueRule {
  number,           // one field within minimum..maximum, on a resolution step
  boolean,          // 0 or 1
  choice,           // 0..maximum (power line frequency)
  singleBit,        // one bit of the resolution bitmap (auto-exposure mode)
  panTilt,          // two signed 32-bit fields, each a number
  panTiltMovement,  // direction and speed for pan, then for tilt
  zoomMovement,     // direction, digital zoom flag, speed
};

// Bits of ControlSpec::requests: the GET requests a control answers.
inline constexpr unsigned answersCur = 1u << 0;
inline constexpr unsigned answersMin = 1u << 1;
inline constexpr unsigned answersMax = 1u << 2;
inline constexpr unsigned answersRes = 1u << 3;
inline constexpr unsigned answersDef = 1u << 4;
inline constexpr unsigned answersInfo = 1u << 5;
inline constexpr unsigned answersLen = 1u << 6;
inline constexpr unsigned answersRange =
    answersCur | answersMin | answersMax | answersRes | answersDef | answersInfo | answersLen;

// A control that its automatic partner disables: writes are refused unless
// the partner's current value is one of `manualValues`.
struct Lock {
  std::uint8_t partnerSelector;  // in the same unit
  std::vector<std::uint8_t> manualValues;
};

struct ControlSpec {
  std::string_view name;
  std::uint8_t unit;
  std::uint8_t selector;
  unsigned bmControlsBit;
  std::size_t size;
  ValueRule rule;
  unsigned requests;
  bool isSigned = false;
  bool autoUpdate = false;  // the device may change the value by itself
  std::optional<Lock> lock = std::nullopt;
  // Values as the device sends them; empty where the control has none.
  Bytes minimum = {}, maximum = {}, resolution = {}, defaultValue = {};
  Bytes start;  // the value when the camera starts
};

const std::vector<ControlSpec>& controlTable();

// The bmControls bitmap of a unit: one bit per control, `sizeBytes` long.
Bytes controlBitmap(std::uint8_t unit, std::size_t sizeBytes);

}  // namespace camknob::virtual_camera
