// Fixture files for the simulated service: one JSON object listing the
// system's devices with their properties and controls. Read at start-up and
// written back after every successful write, so that runs share one camera.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "media/sim/sim_store.h"

namespace camknob::sim {

struct FixtureLoad {
  std::optional<System> system;
  std::string fault;  // why there is no system, in one line
};

FixtureLoad parseFixture(std::string_view text);
FixtureLoad loadFixture(const std::string& path);

// The system in the fixture format.
std::string fixtureText(const System& system);

// Replaces the file in one step (temporary file, then rename); a status that
// is not noErr when the file could not be written.
Status saveFixture(const System& system, const std::string& path);

// The system camknob-sim shows when no fixture is named.
std::string_view demoFixtureText();

}  // namespace camknob::sim
