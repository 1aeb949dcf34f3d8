#pragma once

#include <cstdint>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/glide_steps.h"

namespace tarnwell::dsp {

// A smoothed amount whose first target after a prepare is taken at once, so processing starts at the
// set amount; later targets, a type change back to the block included, glide from where it was.
class JumpStartAmount {
 public:
  // Prepare time: the next target jumps.
  void Restart() { started_ = false; }

  void SetTarget(double target) {
    target_ = target;
    if (!started_) {
      smoothed_ = target;
      started_ = true;
    }
  }

  // Once per frame; returns the smoothed amount.
  double Step(double coefficient) {
    smoothed_ = SmoothTowards(smoothed_, target_, coefficient);
    return smoothed_;
  }

  // Step for each of `count` frames, writing the smoothed amounts.
  void Steps(double coefficient, double* amounts, std::int32_t count) {
    StepGlide(smoothed_, target_, coefficient, amounts, count);
  }

 private:
  double smoothed_ = 0.0;
  double target_ = 0.0;
  bool started_ = false;
};

}  // namespace tarnwell::dsp
