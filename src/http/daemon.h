// camknobd from start to end, over whichever camera service the program
// links:
//   1. reads the options (a fault: one line on standard error, status 2);
//      --help, --show-key and --new-key print their line and end here;
//   2. lets the program start its service (camknobd-sim: the simulated
//      system), which may end the run with a status;
//   3. reads the key, or makes it at the first start (a fault: status 2);
//   4. binds the addresses (a non-loopback one: a warning on standard error,
//      and the machine's names and addresses taken as Host names);
//   5. writes the random token to the token file, starts the engine;
//   6. prints one JSON line on standard output, keys sorted, flushed:
//      {"page":URL/login?code=CODE,"tokenFile":PATH,"url":URL};
//   7. serves until SIGTERM or SIGINT; then stops accepting, lets the answers
//      under way finish and the event streams end, removes the token file,
//      stops the engine, and exits with 0.
// Nothing else goes to standard output; the program's own errors go to
// standard error, one line each, led by the program's name.
#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "commands/command_line.h"

namespace camknob::http {

// Starts the camera service the program runs over; a status to end with
// when it cannot.
using ServiceStart = std::function<std::optional<int>()>;

int runDaemon(std::string_view program, const CommandLine& line, const ServiceStart& startService);

}  // namespace camknob::http
