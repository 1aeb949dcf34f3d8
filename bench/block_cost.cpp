#include "block_cost.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "pass_timer.h"
#include "rack/dsp/engine.h"
#include "signals/vocal_signal.h"

namespace {

using tarnwell::signals::MakeVocalSignal;
using tarnwell::signals::StereoBuffer;

constexpr double kPreRollSeconds = 1.0;

void ProcessSpan(tarnwell::dsp::RackEngine& engine, double* left, double* right, std::size_t frames, int blockSize,
                 const tarnwell::dsp::EngineSettings& settings) {
  for (std::size_t start = 0; start < frames; start += static_cast<std::size_t>(blockSize)) {
    double* channels[2] = {left + start, right + start};
    const auto count =
        static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(blockSize), frames - start));
    engine.Process(channels, 2, count, settings);
  }
}

}  // namespace

double RackNanosecondsPerFrame(const tarnwell::dsp::EngineSettings& settings, const CostRun& run) {
  const StereoBuffer source = MakeVocalSignal(run.sampleRate, kPreRollSeconds + run.seconds);
  const auto preRoll = static_cast<std::size_t>(kPreRollSeconds * run.sampleRate);
  const std::size_t frames = source.left.size() - preRoll;
  // Large enough to be worth keeping off the stack.
  auto engine = std::make_unique<tarnwell::dsp::RackEngine>();
  engine->Prepare(run.sampleRate);
  StereoBuffer work = source;
  ProcessSpan(*engine, work.left.data(), work.right.data(), preRoll, run.blockSize, settings);
  return FastestNanosecondsPerFrame(
      run.passes, frames, [&] { work = source; },
      [&] {
        ProcessSpan(*engine, work.left.data() + preRoll, work.right.data() + preRoll, frames, run.blockSize, settings);
      });
}
