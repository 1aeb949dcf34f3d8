#pragma once

#include <string>

#include "block_cost.h"

// The whole process call of a built plug-in module, loaded and driven through the host library as
// a DAW drives it (32-bit buffers, a playing transport at 120 BPM).
enum class PluginCase {
  // Tarnwell on the vocal-like take with its "Present" factory preset loaded as a saved state.
  TarnwellPresent,
  // TarnwellTempo on a drum loop.
  Tempo,
  // TarnwellDuck with its default settings: a drum loop on the main bus, the vocal take as the key.
  Duck,
};

const char* PluginCaseName(PluginCase which);

// Nanoseconds per stereo frame of the case's module in the bundle folder; false with *error when
// the module cannot be loaded or refuses a step.
bool PluginNanosecondsPerFrame(PluginCase which, const std::string& bundleFolder, const CostRun& run, double* ns,
                               std::string* error);
