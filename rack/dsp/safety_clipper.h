#pragma once

#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"

namespace tarnwell::dsp {

// Soft clipper below -1 dBFS: transparent up to 70 % of the ceiling, a tanh knee above it. FastTanh
// never exceeds 1 (and gives exactly 1 for large inputs), so the output can equal the ceiling but never
// exceed it.
class SafetyClipper {
 public:
  double operator()(double x) const {
    const double magnitude = std::fabs(x);
    if (magnitude <= knee_) {
      return x;
    }
    return std::copysign(knee_ + (ceiling_ - knee_) * FastTanh((magnitude - knee_) / (ceiling_ - knee_)), x);
  }

  double Ceiling() const { return ceiling_; }
  double Knee() const { return knee_; }

 private:
  double ceiling_ = DbToGain(-1.0);
  double knee_ = 0.7 * ceiling_;
};

}  // namespace tarnwell::dsp
