#pragma once

#include <concepts>
#include <cstdint>

#include "rack/dsp/engine_settings.h"
#include "rack/dsp/tuning_env.h"

namespace tarnwell::dsp {

struct BlockTunings;

// What every bay gets when the engine is prepared.
struct BayPrepareContext {
  double sampleRate;
  // Longest delay any block may need, for blocks that size delay lines.
  std::int32_t maxDelaySamples;
  const TuningEnvironment& tuning;
  // The blocks' tuning, read once for all bays.
  const BlockTunings& blockTunings;
};

// The parts of the block surface that most blocks do not need; a block that does declares its own.
// Plain base, no virtual function: the bay knows every block's type at compile time.
struct BlockDefaults {
  static std::int32_t LatencySamples(double /*sampleRate*/) { return 0; }
  void Release() noexcept {}
  // Brings the block's free-running clocks forward over frames the bay skipped in silence.
  void SkipFrames(std::int64_t /*frames*/) {}
  // False for a block whose clocks cannot be brought forward over a long silence in bounded time.
  static constexpr bool kSkipsSilence = true;
};

// The surface the bay drives every effect block through. Configure runs on the audio thread before
// every Process and turns the bay's settings into the block's own (clamping, character, tempo).
template <typename Block>
concept EffectBlock = requires(Block block, const BayPrepareContext& context, const BayControl& control,
                               double* samples, std::int32_t frames, std::int64_t skipped, double rate) {
  { Block::kType } -> std::convertible_to<EffectType>;
  block.Prepare(context);
  block.Reset();
  block.Configure(control, rate);
  block.Process(samples, samples, frames);
  { Block::LatencySamples(rate) } -> std::same_as<std::int32_t>;
  block.Release();
  block.SkipFrames(skipped);
  { Block::kSkipsSilence } -> std::convertible_to<bool>;
};

}  // namespace tarnwell::dsp
