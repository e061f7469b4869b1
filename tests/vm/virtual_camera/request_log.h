// The virtual camera's record of the SET_CUR requests it received, one line
// each, so tests can read what a tool actually sent to the device.
#pragma once

#include <cstdint>
#include <string>

#include "virtual_camera/class_requests.h"

namespace camknob::virtual_camera {

// "SET_CUR unit=1 selector=0x0e len=4 data=01 05 00 00" for an accepted write
// to a VideoControl unit, "SET_CUR streaming selector=0x01 len=26 data=..."
// for one to the streaming interface; a refused write reads "REFUSED ..."
// with " error=N" (the request error code) at the end.
std::string requestLogLine(const ClassRequest& request, const Answer& answer);

// A line of the timed log: the CLOCK_MONOTONIC nanoseconds at which the
// request arrived (the clock every program in the machine shares), a space,
// and the line.
std::string timedLogLine(std::int64_t nanoseconds, const std::string& line);

// What the timed log says when the camera reset its controls, at the time
// the request that made it arrived.
inline constexpr const char* resetLogLine = "RESET";

// Appends the line and a line feed with one write, so the file holds every
// line as soon as the request is answered.
void appendLine(int fd, const std::string& line);

}  // namespace camknob::virtual_camera
