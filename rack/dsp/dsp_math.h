#pragma once

#include <algorithm>
#include <cmath>

namespace tarnwell::dsp {

inline constexpr double kTwoPi = 6.283185307179586;

// Smoothing coefficient for a time constant in seconds; never shorter than one sample, so it stays in [0, 1).
inline double OnePoleCoefficient(double seconds, double sampleRate) {
  return std::exp(-1.0 / std::max(1.0, seconds * sampleRate));
}

inline double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

// Moves `state` towards `target`; `coefficient` is the share of the old value kept.
inline double SmoothTowards(double state, double target, double coefficient) {
  return (1.0 - coefficient) * target + coefficient * state;
}

}  // namespace tarnwell::dsp
