// Starting a program over the simulated service.
#pragma once

#include <optional>
#include <string_view>

namespace camknob::sim {

// Loads the system CAMKNOB_SIM_FIXTURE names (the built-in demo when it is
// unset or empty) and keeps every accepted write in that file. When the
// fixture cannot be used: one line on standard error, led by the program's
// name, and the exit status 2 for the program to end with.
std::optional<int> startSimulatedSystem(std::string_view program);

}  // namespace camknob::sim
