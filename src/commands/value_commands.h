// set, auto and on: one write to the control named by --control.
#pragma once

#include "commands/command_line.h"
#include "commands/command_result.h"
#include "records/camera_records.h"

namespace camknob {

// `control` is the resolved --control of the selected device, or null.
CommandFailure runSet(const CommandLine& line, const CameraControl* control);
CommandFailure runAuto(const CommandLine& line, const CameraControl* control);
CommandFailure runOn(const CommandLine& line, const CameraControl* control);

}  // namespace camknob
