// move, home and absolute: native data written to the pan/tilt controls.
#pragma once

#include "commands/command_line.h"
#include "commands/command_result.h"
#include "records/camera_records.h"

namespace camknob {

CommandFailure runMove(const CommandLine& line, const CameraDevice& device);
CommandFailure runHome(const CameraDevice& device);
CommandFailure runAbsolute(const CommandLine& line, const CameraDevice& device);

}  // namespace camknob
