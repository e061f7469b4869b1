// move, home and absolute: native data written to the pan/tilt controls.
#pragma once

#include "cli/command_line.h"
#include "cli/command_result.h"
#include "output/camera_records.h"

namespace camknob {

CommandFailure runMove(const CommandLine& line, const CameraDevice& device);
CommandFailure runHome(const CameraDevice& device);
CommandFailure runAbsolute(const CommandLine& line, const CameraDevice& device);

}  // namespace camknob
