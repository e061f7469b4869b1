// move, home and absolute: native data written to the pan/tilt controls.
#pragma once

#include "commands/command_request.h"
#include "commands/command_result.h"
#include "records/camera_records.h"

namespace camknob {

CommandFailure runMove(const CommandRequest& request, const CameraDevice& device);
CommandFailure runHome(const CameraDevice& device);
CommandFailure runAbsolute(const CommandRequest& request, const CameraDevice& device);

// What a move with pan and tilt 0 writes, for a program that stops a movement
// of its own (camknobd as it ends); a camera without relative pan/tilt has
// nothing to stop.
CommandFailure stopPanTilt(const CameraDevice& device);

}  // namespace camknob
