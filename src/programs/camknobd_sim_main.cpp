// camknobd-sim: camknobd over the simulated service, with the same fixture
// as camknob-sim (CAMKNOB_SIM_FIXTURE, or the built-in demo).
#include "commands/command_line.h"
#include "http/daemon.h"
#include "media/sim/sim_startup.h"
#include "system/standard_streams.h"

int main(int argc, char** argv) {
  camknob::holdStandardDescriptors();
  return camknob::http::runDaemon("camknobd-sim", camknob::commandLineFrom(argc, argv), [] {
    return camknob::sim::startSimulatedSystem("camknobd-sim");
  });
}
