// Tempo detector cost: one iteration is one host block fed to the detector as the plug-in
// does, with a drum loop playing. A hop (FFT and spectral flux) runs every 512 samples and an
// estimate every 24 hops, so blocks of 512 or more carry their share of both.
// "core_percent" is the share of one core the detector takes to keep up with one stream at
// that rate; "items_per_second" is frames per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "framework/denormal_mode.h"
#include "signals/drum_loop.h"
#include "tempo/tempo_detector.h"

namespace {

void DetectorBlock(benchmark::State& state) {
  const auto rate = static_cast<double>(state.range(0));
  const auto block = static_cast<size_t>(state.range(1));
  tarnwell::signals::DrumLoop loop;
  loop.pattern = tarnwell::signals::DrumPattern::Backbeat;
  loop.noiseRms = 0.01;
  const std::vector<double> signal = tarnwell::signals::RenderDrumLoop(loop, rate, 30.0);
  plugkit::ScopedDenormalsOff flush;  // as inside a process call
  TempoDetector detector;
  detector.Prepare(rate);
  // Past the first seconds, so that every estimate does its whole work.
  size_t position = 0;
  for (; position + block < static_cast<size_t>(8 * rate); position += block)
    detector.Feed(signal.data() + position, signal.data() + position, static_cast<int32_t>(block));
  for (auto _ : state) {
    if (position + block > signal.size()) position = static_cast<size_t>(8 * rate);
    detector.Feed(signal.data() + position, signal.data() + position, static_cast<int32_t>(block));
    benchmark::DoNotOptimize(detector.detectedBpm);
    position += block;
  }
  const auto frames = static_cast<double>(state.iterations()) * static_cast<double>(block);
  state.SetItemsProcessed(static_cast<int64_t>(frames));
  // Inverted rate of audio hundredths of a second: CPU time per audio time, in per cent.
  state.counters["core_percent"] =
      benchmark::Counter(frames / rate / 100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(DetectorBlock)->ArgNames({"rate", "block"})->ArgsProduct({{44100, 48000}, {64, 512, 2048, 8192}});

}  // namespace

BENCHMARK_MAIN();
