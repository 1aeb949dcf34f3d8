#pragma once

#include "rack/dsp/engine_settings.h"

struct CostRun {
  double sampleRate = 48000.0;
  int blockSize = 128;
  // Seconds of signal per timed pass, and passes per case (the fastest is reported).
  double seconds = 2.0;
  int passes = 5;
};

// Nanoseconds per stereo frame of a rack engine with these settings on the vocal-like signal, after a
// second of untimed pre-roll. Each pass runs a fresh copy of the signal through the same engine.
double RackNanosecondsPerFrame(const tarnwell::dsp::EngineSettings& settings, const CostRun& run);
