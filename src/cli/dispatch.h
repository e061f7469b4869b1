// One run of the tool: one command, one response line, an exit status.
#pragma once

#include <ostream>
#include <string>

#include "cli/command_line.h"

namespace camknob {

// Runs the command of the line, writes its response to `out` and gives the
// exit status: 0 after list or a successful change, 1 after a failure.
int applyCommand(const CommandLine& line, std::ostream& out);

// The one way a run reports a failure: a fresh device list, ok false, the
// message, exit status 1.
int fail(const std::string& message, std::ostream& out);

}  // namespace camknob
