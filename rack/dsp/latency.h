#pragma once

#include <cstdint>

namespace tarnwell::dsp {

// Look-ahead lengths of the blocks that delay audio. The blocks size their lines from these and the
// engine reports its latency from them, so the reported latency cannot drift from the real one.

inline std::int32_t GateLookaheadSamples(double sampleRate) { return static_cast<std::int32_t>(0.001 * sampleRate); }

inline std::int32_t DeHarshLookaheadSamples(double sampleRate) { return static_cast<std::int32_t>(0.002 * sampleRate); }

inline std::int32_t ClipLookaheadSamples(double sampleRate) {
  return static_cast<std::int32_t>(0.0015 * sampleRate + 0.5);
}

inline constexpr std::int32_t kSaturatorLatencySamples = 3;

}  // namespace tarnwell::dsp
