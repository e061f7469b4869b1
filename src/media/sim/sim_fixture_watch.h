// Watching a fixture file for changes that other runs, or the user, make to
// it: with inotify on Linux; elsewhere there is no watch, and the file is
// looked at when asked.
#pragma once

#include <string>

namespace camknob::sim {

// A non-blocking descriptor that becomes readable when the fixture at `path`
// (or the file a link there names) may have changed: written, replaced,
// created or deleted. -1 where the system has no such watch, or refuses one.
int watchFixtureFile(const std::string& path);

// Reads whatever waits on the descriptor; never blocks.
void drainFixtureWatch(int watch);

void stopFixtureWatch(int watch);

}  // namespace camknob::sim
