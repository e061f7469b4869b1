// The virtual camera's record of the SET_CUR requests it received, one line
// each, so tests can read what a tool actually sent to the device.
#pragma once

#include <string>

#include "virtual_camera/class_requests.h"

namespace camknob::virtual_camera {

// "SET_CUR unit=1 selector=0x0e len=4 data=01 05 00 00" for an accepted write
// to a VideoControl unit, "SET_CUR streaming selector=0x01 len=26 data=..."
// for one to the streaming interface; a refused write reads "REFUSED ..."
// with " error=N" (the request error code) at the end.
std::string requestLogLine(const ClassRequest& request, const Answer& answer);

// Appends the line and a line feed with one write, so the file holds every
// line as soon as the request is answered.
void appendLine(int fd, const std::string& line);

}  // namespace camknob::virtual_camera
