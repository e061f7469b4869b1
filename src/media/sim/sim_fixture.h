// Fixture files for the simulated service: one JSON object listing the
// system's devices with their properties and controls. Read at start-up and
// written back after every successful write, so that runs share one camera.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "media/sim/sim_store.h"

namespace camknob::sim {

struct FixtureLoad {
  std::optional<System> system;
  std::string fault;       // why there is no system, in one line
  std::size_t textHash{};  // of the file's text, to know it again (loadFixture)
};

// The whole text is the fixture: a NUL byte or anything after the document
// is a fault. For a fixture with several faults, the first in the text is
// named. Never throws.
FixtureLoad parseFixture(std::string_view text);

// The system in the fixture format, one line per device and per control.
std::string fixtureText(const System& system);

// The system camknob-sim shows when no fixture is named.
std::string_view demoFixtureText();

}  // namespace camknob::sim
