// The virtual camera on gadgetfs: endpoint 0 of a USB device whose host side
// is the kernel's own USB stack (through dummy_hcd).
#pragma once

#include <string>

namespace camknob::virtual_camera {

// The controller's file in a mounted gadgetfs directory (the one file there
// before the device is configured, such as "dummy_udc"); empty if none.
std::string findGadgetFile(const std::string& gadgetDirectory);

struct GadgetSettings {
  int logFd;                    // every SET_CUR, as requestLogLine() writes it
  int timedLogFd = -1;          // the same lines after the time each arrived, and resets
  bool resetsOnStream = false;  // CameraState::resetsOnStream
};

// Writes the descriptors to the opened gadgetfs file and answers the host's
// requests until the file fails. Returns a message saying why it stopped.
std::string serveGadget(int gadgetFd, const GadgetSettings& settings);

}  // namespace camknob::virtual_camera
