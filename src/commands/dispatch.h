// One run of the tool: one command, one response line, an exit status.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "commands/command_line.h"
#include "commands/command_request.h"
#include "commands/command_result.h"
#include "records/camera_records.h"

namespace camknob {

// What a command other than list did over a device list read before it: its
// failure, if any, and the device it selected (null when none was), which is
// the only one it can have changed.
struct CommandOutcome {
  CommandFailure failure;
  const CameraDevice* device;
};

// A command other than list over the devices given: selection, the control
// named, then the command's writes (none after a failure in selection).
CommandOutcome performCommand(const CommandRequest& request,
                              const std::vector<CameraDevice>& devices);

// Runs the command of the line (its request, commandRequestOf), writes its
// response to `out` and gives the exit status: 0 after list or a successful
// change, 1 after a failure or when the response could not be written.
int applyCommand(const CommandLine& line, std::ostream& out);

// applyCommand for an entry point: should anything throw all the same (memory
// running out), the caller still gets one line, the fallback line, and exit
// status 1.
int applyCommandOrFallback(const CommandLine& line, std::ostream& out) noexcept;

// The one way a run reports a failure: a fresh device list, ok false, the
// message, exit status 1.
int fail(const std::string& message, std::ostream& out);

}  // namespace camknob
