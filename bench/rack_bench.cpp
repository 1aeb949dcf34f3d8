// Rack engine throughput: see the summary table printed at the end of a run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rack/dsp/engine.h"
#include "rack_configs.h"
#include "signals/vocal_signal.h"
#include "summary_reporter.h"

using namespace tarnwell::dsp;

namespace {

using tarnwell::signals::MakeVocalSignal;
using tarnwell::signals::StereoBuffer;

constexpr double kSignalSeconds = 20.0;
constexpr double kPreRollSeconds = 1.0;
constexpr double kTailPreRollSeconds = 2.0;
constexpr double kTailSeconds = 30.0;
// Untimed silence after the signal, long enough for every tail to die and every bay that can go
// idle to go idle; racks with a bay that never idles stop here.
constexpr double kLongestDyingSeconds = 120.0;
constexpr double kRates[] = {44100.0, 48000.0, 96000.0};
constexpr int kBlockSizes[] = {32, 128, 512};

const StereoBuffer& SignalAt(double sampleRate) {
  static std::map<double, StereoBuffer> signals;
  auto found = signals.find(sampleRate);
  if (found == signals.end()) {
    found = signals.emplace(sampleRate, MakeVocalSignal(sampleRate, kSignalSeconds)).first;
  }
  return found->second;
}

void ProcessSpan(RackEngine& engine, double* left, double* right, std::size_t frames, int blockSize,
                 const EngineSettings& settings) {
  for (std::size_t start = 0; start < frames; start += static_cast<std::size_t>(blockSize)) {
    double* channels[2] = {left + start, right + start};
    const auto count =
        static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(blockSize), frames - start));
    engine.Process(channels, 2, count, settings);
  }
}

// One iteration is one block of the vocal signal, taken in order and wrapped at its end.
void RunSignal(benchmark::State& state, const BenchCase& bench, const EngineSettings& settings) {
  const StereoBuffer& source = SignalAt(bench.sampleRate);
  StereoBuffer work = source;
  auto engine = std::make_unique<RackEngine>();
  engine->Prepare(bench.sampleRate);
  const auto preRoll = static_cast<std::size_t>(kPreRollSeconds * bench.sampleRate);
  ProcessSpan(*engine, work.left.data(), work.right.data(), preRoll, bench.blockSize, settings);

  const auto block = static_cast<std::size_t>(bench.blockSize);
  std::size_t position = preRoll;
  for (auto _ : state) {
    if (position + block > work.left.size()) {
      state.PauseTiming();
      work = source;
      position = 0;
      state.ResumeTiming();
    }
    double* channels[2] = {work.left.data() + position, work.right.data() + position};
    engine->Process(channels, 2, bench.blockSize, settings);
    benchmark::DoNotOptimize(channels[0][0]);
    position += block;
  }
}

bool AllIdleThatCan(const RackEngine& engine, const EngineSettings& settings) {
  for (int b = 0; b < kBayCount; ++b) {
    const BayControl& control = settings.bays[static_cast<std::size_t>(b)];
    const bool runs = control.on && control.type != static_cast<std::int32_t>(EffectType::Empty);
    if (runs && control.type != static_cast<std::int32_t>(EffectType::Shimmer) && !engine.BayIdle(b)) {
      return false;
    }
  }
  return true;
}

// A rack fed two seconds of signal, then silence until its tails have died and its bays have gone
// idle. Made once per case and kept, so that repetitions do not pay for the dying again.
RackEngine& RackWithDeadTails(const BenchCase& bench, const EngineSettings& settings) {
  static std::map<std::string, std::unique_ptr<RackEngine>> racks;
  std::unique_ptr<RackEngine>& engine =
      racks[bench.rack + "/" + std::to_string(bench.sampleRate) + "/" + std::to_string(bench.blockSize)];
  if (engine == nullptr) {
    engine = std::make_unique<RackEngine>();
    engine->Prepare(bench.sampleRate);
    const StereoBuffer& source = SignalAt(bench.sampleRate);
    const auto preRoll = static_cast<std::size_t>(kTailPreRollSeconds * bench.sampleRate);
    StereoBuffer work{
        std::vector<double>(source.left.begin(), source.left.begin() + static_cast<std::ptrdiff_t>(preRoll)),
        std::vector<double>(source.right.begin(), source.right.begin() + static_cast<std::ptrdiff_t>(preRoll))};
    ProcessSpan(*engine, work.left.data(), work.right.data(), preRoll, bench.blockSize, settings);
    std::vector<double> left(static_cast<std::size_t>(bench.blockSize), 0.0);
    std::vector<double> right(static_cast<std::size_t>(bench.blockSize), 0.0);
    const auto longest = static_cast<std::int64_t>(kLongestDyingSeconds * bench.sampleRate);
    for (std::int64_t done = 0; done < longest && !AllIdleThatCan(*engine, settings); done += bench.blockSize) {
      std::fill(left.begin(), left.end(), 0.0);
      std::fill(right.begin(), right.end(), 0.0);
      ProcessSpan(*engine, left.data(), right.data(), left.size(), bench.blockSize, settings);
    }
  }
  return *engine;
}

// One iteration is thirty seconds of digital silence through a rack whose tails have died, where
// decaying states would sink into subnormal numbers without flush-to-zero and idle bays skip.
void RunSilenceTail(benchmark::State& state, const BenchCase& bench, const EngineSettings& settings) {
  RackEngine& engine = RackWithDeadTails(bench, settings);
  const auto tail = static_cast<std::size_t>(bench.framesPerIteration);
  StereoBuffer silence{std::vector<double>(tail, 0.0), std::vector<double>(tail, 0.0)};
  for (auto _ : state) {
    std::fill(silence.left.begin(), silence.left.end(), 0.0);
    std::fill(silence.right.begin(), silence.right.end(), 0.0);
    const auto start = std::chrono::steady_clock::now();
    ProcessSpan(engine, silence.left.data(), silence.right.data(), tail, bench.blockSize, settings);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(elapsed.count());
    benchmark::DoNotOptimize(silence.left[tail - 1]);
  }
}

std::string CaseName(const BenchCase& bench) {
  return bench.kind + "/" + bench.rack + "/" + std::to_string(static_cast<int>(bench.sampleRate)) + "/" +
         std::to_string(bench.blockSize);
}

void RegisterAll(std::map<std::string, BenchCase>& cases) {
  for (const RackConfig& rack : BenchmarkRacks()) {
    for (double rate : kRates) {
      for (int block : kBlockSizes) {
        const BenchCase bench{"signal", rack.name, rate, block, static_cast<double>(block)};
        const std::string name = CaseName(bench);
        cases[name] = bench;
        benchmark::RegisterBenchmark(name.c_str(), RunSignal, bench, rack.settings)->Unit(benchmark::kNanosecond);
      }
    }
  }
  for (const RackConfig& rack : {VocalChainRack(), WorstCaseRack()}) {
    for (double rate : kRates) {
      for (int block : kBlockSizes) {
        const BenchCase bench{"silence tail", rack.name, rate, block, kTailSeconds * rate};
        const std::string name = CaseName(bench);
        cases[name] = bench;
        benchmark::RegisterBenchmark(name.c_str(), RunSilenceTail, bench, rack.settings)
            ->Unit(benchmark::kNanosecond)
            ->UseManualTime()
            ->Iterations(1);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Defaults that keep a full run to a few minutes; flags given on the command line come later and win.
  static char repetitions[] = "--benchmark_repetitions=5";
  static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
  static char minTime[] = "--benchmark_min_time=0.05";
  static char warmUp[] = "--benchmark_min_warmup_time=0.02";
  std::vector<char*> arguments = {argv[0], repetitions, aggregatesOnly, minTime, warmUp};
  arguments.insert(arguments.end(), argv + 1, argv + argc);
  int count = static_cast<int>(arguments.size());

  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) {
    return 1;
  }
  std::map<std::string, BenchCase> cases;
  RegisterAll(cases);
  SummaryReporter reporter(cases);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
