#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "rack/dsp/dsp_math.h"

namespace tarnwell::dsp {

// Gain that brings a block's output power back to its input power, within 0.5..2 (6 dB either way).
// The output power is measured before this gain, so the loop is open and cannot oscillate.
class LoudnessMatch {
 public:
  LoudnessMatch(double powerSeconds, double gainSeconds) : powerSeconds_(powerSeconds), gainSeconds_(gainSeconds) {}

  void Prepare(double sampleRate) {
    powerCoefficient_ = OnePoleCoefficient(powerSeconds_, sampleRate);
    gainCoefficient_ = OnePoleCoefficient(gainSeconds_, sampleRate);
  }

  // Takes one frame's input and output power and returns the gain to apply to that frame.
  double Update(double inputSquare, double outputSquare) {
    inputPower_ = SmoothTowards(inputPower_, inputSquare, powerCoefficient_);
    outputPower_ = SmoothTowards(outputPower_, outputSquare, powerCoefficient_);
    // Near silence the ratio means nothing; the gain holds.
    if (inputPower_ > kPowerFloor && outputPower_ > kPowerFloor) {
      const double wanted = std::clamp(std::sqrt(inputPower_ / outputPower_), kGainMin, kGainMax);
      gain_ = SmoothTowards(gain_, wanted, gainCoefficient_);
    }
    return gain_;
  }

  // Update for each of `count` frames in turn, writing the gains. A local copy keeps the state in
  // registers through the loop, where members would be stored and reloaded around each write.
  void UpdateFrames(const double* inputSquares, const double* outputSquares, double* gains, std::int32_t count) {
    LoudnessMatch local = *this;
    for (std::int32_t i = 0; i < count; ++i) {
      gains[i] = local.Update(inputSquares[i], outputSquares[i]);
    }
    *this = local;
  }

  void Reset() {
    inputPower_ = 0.0;
    outputPower_ = 0.0;
    gain_ = 1.0;
  }

  double Gain() const { return gain_; }

 private:
  static constexpr double kPowerFloor = 1e-10;
  static constexpr double kGainMin = 0.5;
  static constexpr double kGainMax = 2.0;

  double powerSeconds_;
  double gainSeconds_;
  double powerCoefficient_ = 0.999;
  double gainCoefficient_ = 0.999;
  double inputPower_ = 0.0;
  double outputPower_ = 0.0;
  double gain_ = 1.0;
};

}  // namespace tarnwell::dsp
