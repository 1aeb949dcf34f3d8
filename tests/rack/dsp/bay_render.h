#pragma once

#include <cstdint>
#include <vector>

#include "rack_render.h"

// Renders through a freshly prepared engine and returns the result.
StereoSignal RenderFreshEngine(const tarnwell::dsp::EngineSettings& settings, StereoSignal signal,
                               double sampleRate = 48000.0, std::int32_t blockSize = 512);

// Renders `input` on both channels through one bay of a freshly prepared engine, safety off, and
// returns the left channel.
std::vector<double> RenderOneBay(const std::vector<double>& input, tarnwell::dsp::EffectType type, double amount,
                                 std::int32_t character = 0, double sampleRate = 48000.0);
