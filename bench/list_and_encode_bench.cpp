// What every run pays at least once or twice: reading every camera with its
// controls, and encoding the response. Over the demo system (2 cameras, 16
// controls) in the simulated service, so the service's own cost stays small.
#include <benchmark/benchmark.h>

#include "discovery/list_devices.h"
#include "json/json_text.h"
#include "media/sim/sim_fixture.h"

namespace {

void loadDemo() {
  camknob::sim::FixtureLoad demo = camknob::sim::parseFixture(camknob::sim::demoFixtureText());
  camknob::sim::reset(std::move(*demo.system));
}

void listDemoDevices(benchmark::State& state) {
  loadDemo();
  for (auto _ : state) benchmark::DoNotOptimize(camknob::listDevices());
}
BENCHMARK(listDemoDevices);

void encodeDemoResponse(benchmark::State& state) {
  loadDemo();
  const camknob::CameraResponse response{true, camknob::listDevices(), std::nullopt};
  std::size_t bytes = 0;
  for (auto _ : state) {
    const auto text = camknob::encodeResponse(response);
    bytes += text->size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(encodeDemoResponse);

}  // namespace
