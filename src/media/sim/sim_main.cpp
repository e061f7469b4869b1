// camknob-sim: the tool over the simulated service. CAMKNOB_SIM_FIXTURE names
// a fixture file that stands for the machine's cameras and keeps every change;
// without it the tool runs over a built-in demo system.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/dispatch.h"
#include "cli/standard_streams.h"
#include "media/sim/sim_fixture_file.h"

namespace {

// The one line on standard error of a run that cannot start, and its status.
int fixtureFault(const std::string& path, const std::string& fault) {
  using camknob::sim::oneLine;
  std::cerr << "camknob-sim: fixture " << (path.empty() ? "(built-in demo)" : oneLine(path)) << ": "
            << oneLine(fault) << std::endl;
  return 2;
}

// A large fixture's text is dropped once it is read; its memory serves the
// device lists after it rather than going back to the system and being taken
// again page by page.
void keepFreedMemory() {
#if defined(__GLIBC__)
  constexpr int keep = 256 << 20;
  (void)mallopt(M_MMAP_THRESHOLD, keep);
  (void)mallopt(M_TRIM_THRESHOLD, keep);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  using namespace camknob;
  holdStandardDescriptors();
  keepFreedMemory();
  std::string path;
  try {
    const char* named = std::getenv("CAMKNOB_SIM_FIXTURE");
    path = named ? named : "";
    sim::FixtureLoad loaded =
        path.empty() ? sim::parseFixture(sim::demoFixtureText()) : sim::loadFixture(path);
    if (!loaded.system) return fixtureFault(path, loaded.fault);
    sim::reset(std::move(*loaded.system));
    if (!path.empty())
      sim::setWriteHook([file = sim::FixtureFile{path, loaded.textHash}](
                            const sim::Change& change, const sim::System& changed) mutable {
        return sim::commitChange(file, change, changed);
      });
  } catch (const std::exception& error) {
    return fixtureFault(path, std::string("cannot load: ") + error.what());
  } catch (...) {
    return fixtureFault(path, "cannot load");
  }
  return applyCommandToTheEnd(commandLineFrom(argc, argv), std::cout);
}
