// camknob-profile-sim: camknob-profile over the simulated service, with the
// same fixture as camknob-sim (CAMKNOB_SIM_FIXTURE, or the built-in demo).
#include <iostream>

#include "media/sim/sim_startup.h"
#include "profile/profile_tool.h"
#include "system/standard_streams.h"

int main(int argc, char** argv) {
  camknob::holdStandardDescriptors();
  if (const auto failed = camknob::sim::startSimulatedSystem("camknob-profile-sim")) return *failed;
  return camknob::runProfileTool(camknob::commandLineFrom(argc, argv), std::cout, std::cerr);
}
