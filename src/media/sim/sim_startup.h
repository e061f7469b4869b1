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

// For a run of one command over a large fixture (camknob-sim): the heap is
// laid out at once, in huge pages where the system offers them, and keeps
// what is freed; a program that runs long must not call it.
void prepareHeapForOneRun();

// For a program that runs long over the simulated system: the fixture may be
// changed meanwhile by other runs, or by the user. None of these print
// anything; with the built-in demo there is nothing to do.

// Loads the fixture again, whole, when its text is no longer what the store
// last read from it or wrote to it. A fixture that no longer loads leaves
// the store as it is.
void reloadChangedFixture();

// A descriptor that becomes readable when the fixture may have changed, the
// same one each call; -1 with the built-in demo or where the system cannot
// watch files (fixtureChanged is then asked once a second).
int watchFixture();

// Whether the fixture's text differs from what the store last read from it or
// wrote to it, and did not the last time this was asked: the store's own
// writes are no news. Reads whatever waits on the descriptor; never blocks.
// Cheap while the file stays as it was: one look at its status.
bool fixtureChanged();

}  // namespace camknob::sim
