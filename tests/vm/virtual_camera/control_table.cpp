#include "virtual_camera/control_table.h"

#include <linux/usb/video.h>

#include "virtual_camera/camera_identity.h"

namespace camknob::virtual_camera {

namespace {

Bytes u8(unsigned value) {
  return Bytes{static_cast<std::uint8_t>(value)};
}

Bytes u16(int value) {
  Bytes bytes;
  appendU16(bytes, static_cast<unsigned>(value));
  return bytes;
}

Bytes u32(std::int64_t value) {
  Bytes bytes;
  appendU32(bytes, static_cast<std::uint32_t>(value));
  return bytes;
}

Bytes panTilt(std::int32_t pan, std::int32_t tilt) {
  Bytes bytes = u32(pan);
  const Bytes second = u32(tilt);
  bytes.insert(bytes.end(), second.begin(), second.end());
  return bytes;
}

constexpr unsigned onOff = answersCur | answersInfo | answersLen;

// A 16-bit range control of the processing unit; with a lock, it is a value
// that an automatic mode sets by itself.
ControlSpec processing(std::string_view name, std::uint8_t selector, unsigned bit, bool isSigned,
                       int minimum, int maximum, int resolution, int defaultValue, int start,
                       std::optional<Lock> lock = std::nullopt) {
  return {.name = name,
          .unit = processingUnitId,
          .selector = selector,
          .bmControlsBit = bit,
          .size = 2,
          .rule = ValueRule::number,
          .requests = answersRange,
          .isSigned = isSigned,
          .autoUpdate = lock.has_value(),
          .lock = lock,
          .minimum = u16(minimum),
          .maximum = u16(maximum),
          .resolution = u16(resolution),
          .defaultValue = u16(defaultValue),
          .start = u16(start)};
}

// An automatic mode switch with a default.
ControlSpec autoSwitch(std::string_view name, std::uint8_t unit, std::uint8_t selector,
                       unsigned bit, bool on) {
  return {.name = name,
          .unit = unit,
          .selector = selector,
          .bmControlsBit = bit,
          .size = 1,
          .rule = ValueRule::boolean,
          .requests = onOff | answersDef,
          .defaultValue = u8(on),
          .start = u8(on)};
}

std::vector<ControlSpec> buildTable() {
  return {
      // Camera terminal.
      {.name = "auto-exposure mode",
       .unit = cameraTerminalId,
       .selector = UVC_CT_AE_MODE_CONTROL,
       .bmControlsBit = 1,
       .size = 1,
       .rule = ValueRule::singleBit,
       .requests = answersCur | answersRes | answersDef | answersInfo | answersLen,
       .resolution = u8(0x01 | 0x08),  // the modes it has: manual, aperture priority
       .defaultValue = u8(0x08),
       .start = u8(0x08)},
      {.name = "auto-exposure priority",
       .unit = cameraTerminalId,
       .selector = UVC_CT_AE_PRIORITY_CONTROL,
       .bmControlsBit = 2,
       .size = 1,
       .rule = ValueRule::boolean,
       .requests = onOff,
       .start = u8(0)},
      {.name = "exposure time absolute",  // in 100 µs
       .unit = cameraTerminalId,
       .selector = UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL,
       .bmControlsBit = 3,
       .size = 4,
       .rule = ValueRule::number,
       .requests = answersRange,
       .autoUpdate = true,
       .lock = Lock{UVC_CT_AE_MODE_CONTROL, {0x01, 0x04}},  // manual, shutter priority
       .minimum = u32(3),
       .maximum = u32(2047),
       .resolution = u32(1),
       .defaultValue = u32(250),
       .start = u32(333)},
      {.name = "focus absolute",
       .unit = cameraTerminalId,
       .selector = UVC_CT_FOCUS_ABSOLUTE_CONTROL,
       .bmControlsBit = 5,
       .size = 2,
       .rule = ValueRule::number,
       .requests = answersRange,
       .autoUpdate = true,
       .lock = Lock{UVC_CT_FOCUS_AUTO_CONTROL, {0}},
       .minimum = u16(0),
       .maximum = u16(250),
       .resolution = u16(5),
       .defaultValue = u16(0),
       .start = u16(40)},
      {.name = "zoom absolute",
       .unit = cameraTerminalId,
       .selector = UVC_CT_ZOOM_ABSOLUTE_CONTROL,
       .bmControlsBit = 9,
       .size = 2,
       .rule = ValueRule::number,
       .requests = answersRange,
       .autoUpdate = true,
       .minimum = u16(100),
       .maximum = u16(500),
       .resolution = u16(1),
       .defaultValue = u16(100),
       .start = u16(100)},
      {.name = "zoom relative",  // bZoom (0, 1 tele, 0xff wide), bDigitalZoom, bSpeed
       .unit = cameraTerminalId,
       .selector = UVC_CT_ZOOM_RELATIVE_CONTROL,
       .bmControlsBit = 10,
       .size = 3,
       .rule = ValueRule::zoomMovement,
       .requests = answersRange,
       .autoUpdate = true,
       .minimum = Bytes{0, 0, 1},
       .maximum = Bytes{0, 0, 7},
       .resolution = Bytes{0, 0, 1},
       .defaultValue = Bytes{0, 0, 1},
       .start = Bytes{0, 0, 0}},
      {.name = "pan/tilt absolute",  // pan, tilt: signed 32-bit arc seconds
       .unit = cameraTerminalId,
       .selector = UVC_CT_PANTILT_ABSOLUTE_CONTROL,
       .bmControlsBit = 11,
       .size = 8,
       .rule = ValueRule::panTilt,
       .requests = answersRange,
       .isSigned = true,
       .autoUpdate = true,
       .minimum = panTilt(-612000, -108000),  // -170°, -30°
       .maximum = panTilt(612000, 324000),    // 170°, 90°
       .resolution = panTilt(3600, 3600),     // 1°
       .defaultValue = panTilt(0, 0),
       .start = panTilt(0, 0)},
      {.name = "pan/tilt relative",  // bPanRelative, bPanSpeed, bTiltRelative, bTiltSpeed
       .unit = cameraTerminalId,
       .selector = UVC_CT_PANTILT_RELATIVE_CONTROL,
       .bmControlsBit = 12,
       .size = 4,
       .rule = ValueRule::panTiltMovement,
       .requests = answersRange,
       .autoUpdate = true,
       .minimum = Bytes{0, 1, 0, 1},
       .maximum = Bytes{0, 24, 0, 20},
       .resolution = Bytes{0, 1, 0, 1},
       .defaultValue = Bytes{0, 1, 0, 1},
       .start = Bytes{0, 0, 0, 0}},
      autoSwitch("focus auto", cameraTerminalId, UVC_CT_FOCUS_AUTO_CONTROL, 17, true),
      {.name = "privacy",
       .unit = cameraTerminalId,
       .selector = UVC_CT_PRIVACY_CONTROL,
       .bmControlsBit = 18,
       .size = 1,
       .rule = ValueRule::boolean,
       .requests = onOff,
       .start = u8(0)},

      // Processing unit.
      processing("brightness", UVC_PU_BRIGHTNESS_CONTROL, 0, true, -64, 64, 1, 0, 0),
      processing("contrast", UVC_PU_CONTRAST_CONTROL, 1, false, 0, 100, 1, 50, 60),
      processing("hue", UVC_PU_HUE_CONTROL, 2, true, -180, 180, 1, 0, 0,
                 Lock{UVC_PU_HUE_AUTO_CONTROL, {0}}),
      processing("saturation", UVC_PU_SATURATION_CONTROL, 3, false, 0, 100, 1, 64, 64),
      processing("sharpness", UVC_PU_SHARPNESS_CONTROL, 4, false, 0, 7, 1, 3, 3),
      processing("gamma", UVC_PU_GAMMA_CONTROL, 5, false, 72, 500, 1, 100, 120),
      processing("white balance temperature", UVC_PU_WHITE_BALANCE_TEMPERATURE_CONTROL, 6, false,
                 2800, 6500, 10, 4600, 5000,
                 Lock{UVC_PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, {0}}),
      processing("backlight compensation", UVC_PU_BACKLIGHT_COMPENSATION_CONTROL, 8, false, 0, 2, 1,
                 1, 1),
      processing("gain", UVC_PU_GAIN_CONTROL, 9, false, 0, 100, 1, 0, 0),
      {.name = "power line frequency",  // 0 disabled, 1 50 Hz, 2 60 Hz
       .unit = processingUnitId,
       .selector = UVC_PU_POWER_LINE_FREQUENCY_CONTROL,
       .bmControlsBit = 10,
       .size = 1,
       .rule = ValueRule::choice,
       .requests = onOff | answersDef,
       .maximum = u8(2),  // for checking writes; UVC has no GET_MAX here
       .defaultValue = u8(1),
       .start = u8(1)},
      autoSwitch("hue auto", processingUnitId, UVC_PU_HUE_AUTO_CONTROL, 11, false),
      autoSwitch("white balance temperature auto", processingUnitId,
                 UVC_PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, 12, true),
  };
}

}  // namespace

const std::vector<ControlSpec>& controlTable() {
  static const std::vector<ControlSpec> table = buildTable();
  return table;
}

Bytes controlBitmap(std::uint8_t unit, std::size_t sizeBytes) {
  Bytes bitmap(sizeBytes, 0);
  for (const ControlSpec& control : controlTable())
    if (control.unit == unit)
      bitmap[control.bmControlsBit / 8] |= 1u << (control.bmControlsBit % 8);
  return bitmap;
}

}  // namespace camknob::virtual_camera
