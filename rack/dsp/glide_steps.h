#pragma once

#include <cstdint>

#include "rack/dsp/dsp_math.h"

namespace tarnwell::dsp {

// Steps a one-pole glide once per frame for `count` frames, writing each frame's value; `state`
// ends at the last one. A step that leaves the value where it was leaves it there for good (same
// inputs, same result), so a settled glide fills the rest without running the recurrence.
inline void StepGlide(double& state, double target, double coefficient, double* values, std::int32_t count) {
  std::int32_t i = 0;
  for (; i < count; ++i) {
    const double next = SmoothTowards(state, target, coefficient);
    if (next == state) {
      break;
    }
    state = next;
    values[i] = next;
  }
  for (; i < count; ++i) {
    values[i] = state;
  }
}

}  // namespace tarnwell::dsp
