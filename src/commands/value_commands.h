// set, auto and on: one write to the control named by --control.
#pragma once

#include "commands/command_request.h"
#include "commands/command_result.h"
#include "records/camera_records.h"

namespace camknob {

// `control` is the request's control of the selected device, or null.
CommandFailure runSet(const CommandRequest& request, const CameraControl* control);
CommandFailure runAuto(const CommandRequest& request, const CameraControl* control);
CommandFailure runOn(const CommandRequest& request, const CameraControl* control);

}  // namespace camknob
