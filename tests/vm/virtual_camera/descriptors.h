// The USB descriptors of the virtual camera: a UVC 1.0 device with a camera
// terminal, a processing unit and one bulk VideoStreaming interface.
#pragma once

#include <cstdint>
#include <optional>

#include "virtual_camera/usb_bytes.h"

namespace camknob::virtual_camera {

// What gadgetfs takes as the first write to its device file: a zero tag, the
// full-speed and high-speed configurations, then the device descriptor.
Bytes gadgetfsSetup();

Bytes deviceDescriptor();
Bytes configurationDescriptor(bool highSpeed);

// A string descriptor by index (0 is the language list); none for an unknown
// index, which the device answers with a stall.
std::optional<Bytes> stringDescriptor(std::uint8_t index);

// The camera terminal's and processing unit's bmControls bitmaps.
Bytes cameraTerminalControls();
Bytes processingUnitControls();

}  // namespace camknob::virtual_camera
