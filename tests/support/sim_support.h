// Loading a small simulated system for a test.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "media/sim/sim_fixture.h"

namespace camknob::testing {

// Replaces the simulated service's state with the fixture and starts the log.
inline void useFixture(std::string_view fixture) {
  sim::FixtureLoad loaded = sim::parseFixture(fixture);
  ASSERT_TRUE(loaded.system) << loaded.fault;
  sim::reset(std::move(*loaded.system));
  sim::recordCalls();
}

inline sim::Script& scriptOf(ObjectId object, std::uint32_t selector) {
  return sim::store().scripts[{object, selector}];
}

}  // namespace camknob::testing
