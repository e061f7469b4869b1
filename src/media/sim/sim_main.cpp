// camknob-sim: the tool over the simulated service. CAMKNOB_SIM_FIXTURE names
// a fixture file that stands for the machine's cameras and keeps every change;
// without it the tool runs over a built-in demo system.
#include <cstdlib>
#include <iostream>
#include <string>

#include "cli/dispatch.h"
#include "media/sim/sim_fixture.h"

int main(int argc, char** argv) {
  using namespace camknob;
  const char* named = std::getenv("CAMKNOB_SIM_FIXTURE");
  const std::string path = named ? named : "";
  sim::FixtureLoad loaded =
      path.empty() ? sim::parseFixture(sim::demoFixtureText()) : sim::loadFixture(path);
  if (!loaded.system) {
    std::cerr << "camknob-sim: fixture " << (path.empty() ? "(built-in demo)" : path) << ": "
              << loaded.fault << std::endl;
    return 2;
  }
  sim::reset(std::move(*loaded.system));
  if (!path.empty())
    sim::setWriteHook(
        [path](const sim::System& updated) { return sim::saveFixture(updated, path); });
  return applyCommand(commandLineFrom(argc, argv), std::cout);
}
