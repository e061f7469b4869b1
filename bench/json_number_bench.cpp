// Writing the numbers of a response: whole native values, 32-bit float
// readings widened to doubles (which need up to 17 digits) and short decimals.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "json/json_text.h"
#include "json/shortest_double.h"

namespace {

std::vector<double> wholeValues() {
  std::vector<double> values;
  for (int i = -500; i < 500; ++i) values.push_back(i * 7);
  return values;
}

std::vector<double> floatReadings() {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> reading(-200.0f, 200.0f);
  std::vector<double> values;
  for (int i = 0; i < 1000; ++i) values.push_back(static_cast<double>(reading(random)));
  return values;
}

std::vector<double> shortDecimals() {
  std::vector<double> values;
  for (int i = 1; i <= 1000; ++i) values.push_back(i / 8.0 + 0.1);
  return values;
}

void appendNumbers(benchmark::State& state, const std::vector<double>& values) {
  std::string out;
  for (auto _ : state) {
    out.clear();
    for (const double value : values) camknob::appendJsonNumber(out, value);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}

BENCHMARK_CAPTURE(appendNumbers, whole, wholeValues());
BENCHMARK_CAPTURE(appendNumbers, floatReadings, floatReadings());
BENCHMARK_CAPTURE(appendNumbers, shortDecimals, shortDecimals());

// The writer macOS 12 uses, built from printf and strtod.
void writePortable(benchmark::State& state, const std::vector<double>& values) {
  char text[camknob::shortestDoubleCapacity];
  for (auto _ : state)
    for (const double value : values) {
      benchmark::DoNotOptimize(camknob::writeShortestDoublePortable(text, value));
      benchmark::ClobberMemory();
    }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}

BENCHMARK_CAPTURE(writePortable, whole, wholeValues());
BENCHMARK_CAPTURE(writePortable, floatReadings, floatReadings());
BENCHMARK_CAPTURE(writePortable, shortDecimals, shortDecimals());

}  // namespace
