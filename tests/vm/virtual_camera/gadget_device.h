// The virtual camera on gadgetfs: endpoint 0 of a USB device whose host side
// is the kernel's own USB stack (through dummy_hcd).
#pragma once

#include <string>

namespace camknob::virtual_camera {

// The controller's file in a mounted gadgetfs directory (the one file there
// before the device is configured, such as "dummy_udc"); empty if none.
std::string findGadgetFile(const std::string& gadgetDirectory);

// Writes the descriptors to the opened gadgetfs file and answers the host's
// requests until the file fails. SET_CUR requests are logged to `logFd`.
// Returns a message saying why it stopped.
std::string serveGadget(int gadgetFd, int logFd);

}  // namespace camknob::virtual_camera
