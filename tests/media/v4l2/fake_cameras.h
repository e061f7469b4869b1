// Cameras for the fake machine, shaped like what uvcvideo and vivid report.
#pragma once

#include <linux/videodev2.h>

#include "fake_v4l2_io.h"

namespace camknob::v4l2::fake {

inline ControlDescription described(std::uint32_t id, std::uint32_t type, std::string name,
                                    std::int64_t minimum, std::int64_t maximum,
                                    std::uint64_t step = 1, std::uint32_t flags = 0,
                                    std::int64_t defaultValue = 0) {
  return ControlDescription{id, type, std::move(name), minimum, maximum, step, flags, defaultValue};
}

// Starts at its default value.
inline FakeControl integer(std::uint32_t id, std::string name, std::int64_t minimum,
                           std::int64_t maximum, std::int32_t value, std::uint64_t step = 1) {
  return FakeControl{
      described(id, V4L2_CTRL_TYPE_INTEGER, std::move(name), minimum, maximum, step, 0, value),
      value};
}

inline FakeControl boolean(std::uint32_t id, std::string name, std::int32_t value) {
  return FakeControl{described(id, V4L2_CTRL_TYPE_BOOLEAN, std::move(name), 0, 1), value};
}

inline FakeControl menu(std::uint32_t id, std::string name, std::int64_t minimum,
                        std::int64_t maximum, std::int32_t value, std::vector<MenuItem> items) {
  return FakeControl{described(id, V4L2_CTRL_TYPE_MENU, std::move(name), minimum, maximum), value,
                     0, 0, std::move(items)};
}

inline constexpr std::uint32_t captureCaps =
    V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;

// A USB pan/tilt/zoom camera as uvcvideo lists it, on port 1 of the dummy
// host controller.
inline FakeNode ptzCamera(std::string nodeName = "video2", std::string port = "1") {
  FakeNode node;
  node.name = std::move(nodeName);
  node.capabilities =
      NodeCapabilities{"Virtual PTZ Camera", "usb-dummy_hcd.0-" + port, captureCaps};
  node.facts.name = "Virtual PTZ Camera";
  node.facts.index = 0;
  node.facts.usbVendor = "1d6b";
  node.facts.usbProduct = "0102";
  node.facts.manufacturer = "camknob test";
  node.facts.usbBusInfo = "usb-dummy_hcd.0-" + port;
  node.controls = {
      integer(V4L2_CID_BRIGHTNESS, "Brightness", -64, 64, 0),
      boolean(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic", 1),
      integer(V4L2_CID_GAIN, "Gain", 0, 100, 10),
      integer(V4L2_CID_WHITE_BALANCE_TEMPERATURE, "White Balance Temperature", 2800, 6500, 4600,
              10),
      menu(V4L2_CID_EXPOSURE_AUTO, "Auto Exposure", 0, 3, V4L2_EXPOSURE_APERTURE_PRIORITY,
           {{V4L2_EXPOSURE_MANUAL, "Manual Mode", 0},
            {V4L2_EXPOSURE_APERTURE_PRIORITY, "Aperture Priority Mode", 0}}),
      integer(V4L2_CID_EXPOSURE_ABSOLUTE, "Exposure Time, Absolute", 3, 2047, 156),
      integer(V4L2_CID_PAN_ABSOLUTE, "Pan, Absolute", -522000, 522000, 36000, 3600),
      integer(V4L2_CID_TILT_ABSOLUTE, "Tilt, Absolute", -324000, 360000, -7200, 3600),
      integer(V4L2_CID_FOCUS_ABSOLUTE, "Focus, Absolute", 0, 255, 30),
      boolean(V4L2_CID_FOCUS_AUTO, "Focus, Automatic Continuous", 0),
      integer(V4L2_CID_ZOOM_ABSOLUTE, "Zoom, Absolute", 100, 500, 100),
      integer(V4L2_CID_ZOOM_CONTINUOUS, "Zoom, Continuous", 1, 7, 0),
      boolean(V4L2_CID_PRIVACY, "Privacy", 0),
      integer(V4L2_CID_PAN_SPEED, "Pan, Speed", -12, 12, -3),
      integer(V4L2_CID_TILT_SPEED, "Tilt, Speed", -12, 12, 0),
  };
  return node;
}

// The metadata node uvcvideo adds beside each camera.
inline FakeNode metadataNode(std::string nodeName = "video3") {
  FakeNode node;
  node.name = std::move(nodeName);
  node.capabilities =
      NodeCapabilities{"Virtual PTZ Camera", "usb-dummy_hcd.0-1", V4L2_CAP_META_CAPTURE};
  node.facts.index = 1;
  return node;
}

}  // namespace camknob::v4l2::fake
