#pragma once

#include "rack/dsp/air_block.h"
#include "rack/dsp/plate_block.h"
#include "rack/dsp/saturator_block.h"
#include "rack/dsp/shimmer_block.h"
#include "rack/dsp/tuning_env.h"

namespace tarnwell::dsp {

// Tuning of every block that has TARNWELL_ variables. The engine reads it once per prepare and hands
// it to all ten bays; a value once read stays until a later prepare finds its variable again.
struct BlockTunings {
  SaturatorTuning saturator;
  AirTuning air;
  PlateTuning plate;
  ShimmerTuning shimmer;

  void Read(const TuningEnvironment& environment) {
    saturator.Read(environment);
    air.Read(environment);
    plate.Read(environment);
    shimmer.Read(environment);
  }
};

}  // namespace tarnwell::dsp
