// Ducker cost: one iteration is one block, configured and processed as the plug-in does per
// block, with a key that comes and goes. "items_per_second" is stereo frames per second;
// "realtime_factor" is how many 48 kHz streams one core would keep up with.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "duck/ducker.h"
#include "framework/denormal_mode.h"

namespace {

constexpr double kRate = 48000.0;
constexpr size_t kSignalFrames = 48000 * 4;

void DuckerBlock(benchmark::State& state) {
  const auto character = static_cast<int32_t>(state.range(0));
  const auto block = static_cast<size_t>(state.range(1));
  std::vector<double> key(kSignalFrames), source(kSignalFrames);
  for (size_t i = 0; i < kSignalFrames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    key[i] = (i / 24000) % 2 == 0 ? 0.5 * std::sin(2.0 * std::numbers::pi * 900.0 * t) : 0.0;
    source[i] = 0.3 * std::sin(2.0 * std::numbers::pi * 220.0 * t);
  }
  std::vector<double> left = source, right = source;
  plugkit::ScopedDenormalsOff flush;  // as inside a process call
  Ducker ducker;
  ducker.sampleRate = kRate;
  ducker.character = character;
  ducker.depthDb = 12.0;
  size_t position = 0;
  for (auto _ : state) {
    if (position + block > kSignalFrames) position = 0;
    ducker.Configure();
    ducker.Process(left.data() + position, right.data() + position, static_cast<int32_t>(block), key.data() + position,
                   key.data() + position);
    benchmark::DoNotOptimize(left[position]);
    position += block;
  }
  const auto frames = static_cast<double>(state.iterations()) * static_cast<double>(block);
  state.SetItemsProcessed(static_cast<int64_t>(frames));
  state.counters["realtime_factor"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
  state.SetLabel(character == static_cast<int32_t>(DuckCharacter::Speak) ? "Speak" : "Sing");
}

BENCHMARK(DuckerBlock)->ArgsProduct({{0, 1}, {32, 128, 512}});

}  // namespace

BENCHMARK_MAIN();
