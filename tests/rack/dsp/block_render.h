#pragma once

#include <cstdint>

#include "rack/dsp/block_tunings.h"
#include "rack/dsp/effect_type.h"
#include "rack_render.h"

// One colour or space block (Saturator, Tape, Air, Plate, Shimmer), fresh, driven as a bay drives it.
struct BlockRun {
  tarnwell::dsp::EffectType type = tarnwell::dsp::EffectType::Saturator;
  double amount = 1.0;
  std::int32_t character = 0;
  tarnwell::dsp::BlockTunings tunings{};
  double sampleRate = 48000.0;
  std::int32_t blockSize = 512;
};

// Prepares a fresh block of the run's type and renders the signal through it in place.
StereoSignal RenderBlock(const BlockRun& run, StereoSignal signal);

// The same signal on both channels.
StereoSignal Stereo(const std::vector<double>& signal);
