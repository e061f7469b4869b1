// camknob-sim: the tool over the simulated service. CAMKNOB_SIM_FIXTURE names
// a fixture file that stands for the machine's cameras and keeps every change;
// without it the tool runs over a built-in demo system.
#include <iostream>

#include "commands/dispatch.h"
#include "media/sim/sim_startup.h"
#include "system/standard_streams.h"

int main(int argc, char** argv) {
  camknob::holdStandardDescriptors();
  camknob::sim::prepareHeapForOneRun();
  if (const auto failed = camknob::sim::startSimulatedSystem("camknob-sim")) return *failed;
  return camknob::applyCommandOrFallback(camknob::commandLineFrom(argc, argv), std::cout);
}
