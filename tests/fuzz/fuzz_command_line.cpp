// Random argument lists over the demo system: the input's bytes are the
// argument texts, separated by NUL bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_checks.h"
#include "media/sim/sim_fixture.h"

namespace {

const camknob::sim::System& demoSystem() {
  static const camknob::sim::System* demo = [] {
    auto loaded = camknob::sim::parseFixture(camknob::sim::demoFixtureText());
    if (!loaded.system) camknob::fuzzing::finding("the demo system does not load", loaded.fault);
    return new camknob::sim::System(std::move(*loaded.system));
  }();
  return *demo;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  camknob::CommandLine line;
  std::size_t start = 0;
  while (start <= input.size() && line.texts.size() < 32) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    line.texts.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  if (size == 0) line.texts.clear();
  camknob::sim::reset(demoSystem());
  camknob::fuzzing::runChecked(line);
  return 0;
}
