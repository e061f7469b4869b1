// One run of the tool: one command, one response line, an exit status.
#pragma once

#include <ostream>
#include <string>

#include "commands/command_line.h"

namespace camknob {

// Runs the command of the line, writes its response to `out` and gives the
// exit status: 0 after list or a successful change, 1 after a failure or when
// the response could not be written.
int applyCommand(const CommandLine& line, std::ostream& out);

// applyCommand for an entry point: should anything throw all the same (memory
// running out), the caller still gets one line, the fallback line, and exit
// status 1.
int applyCommandOrFallback(const CommandLine& line, std::ostream& out) noexcept;

// The one way a run reports a failure: a fresh device list, ok false, the
// message, exit status 1.
int fail(const std::string& message, std::ostream& out);

}  // namespace camknob
