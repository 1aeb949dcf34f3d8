#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "rack/dsp/engine.h"
#include "rack/dsp/engine_settings.h"

struct StereoSignal {
  std::vector<double> left;
  std::vector<double> right;
};

// Runs `process(left, right, frames)` over whole buffers in blocks of `blockSize`, the last one shorter.
template <typename ProcessFn>
void ProcessInBlocks(std::vector<double>& left, std::vector<double>& right, std::int32_t blockSize, ProcessFn process) {
  const auto total = static_cast<std::int32_t>(left.size());
  for (std::int32_t start = 0; start < total; start += blockSize) {
    process(left.data() + start, right.data() + start, std::min(blockSize, total - start));
  }
}

// A rack with one active bay (the first) and the safety clipper off, so only that block shapes the audio.
tarnwell::dsp::EngineSettings SingleBaySettings(tarnwell::dsp::EffectType type, double amount,
                                                std::int32_t character = 0);

// Renders a stereo signal through the engine in place, in blocks of `blockSize`.
void RenderStereo(tarnwell::dsp::RackEngine& engine, StereoSignal& signal,
                  const tarnwell::dsp::EngineSettings& settings, std::int32_t blockSize);
// Renders a mono signal through the engine in place.
void RenderMono(tarnwell::dsp::RackEngine& engine, std::vector<double>& signal,
                const tarnwell::dsp::EngineSettings& settings, std::int32_t blockSize);
