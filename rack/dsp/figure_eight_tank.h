#pragma once

#include <array>
#include <cstdint>

#include "rack/dsp/plate_lines.h"
#include "rack/dsp/ring_delay.h"
#include "rack/dsp/stereo_biquad.h"

namespace tarnwell::dsp {

// The plate's optional large tank: four input diffusers, then two halves (modulated delay, delay,
// one-pole damper, allpass, delay) that feed each other in a figure eight, read out through seven
// signed taps per side.
class FigureEightTank {
 public:
  // Prepare-time only; may throw std::bad_alloc.
  void Prepare(double sampleRate);
  void Release();
  void Reset();
  // Moves the LFO on as if `frames` frames had been processed.
  void SkipFrames(std::int64_t frames);
  bool Ready() const { return diffusers_.Ready(); }

  // `decay` is the cross-feedback gain, `damping` the dampers' coefficient, `modulationDepth` the
  // excursion of the modulated reads in samples at 44.1 kHz.
  StereoSample Process(double x, double decay, double damping, double modulationDepth);

 private:
  struct Half {
    // Modulated delay, delay, allpass, delay: their order in the loop.
    std::array<RingDelay, 4> lines;
    double readBase = 0.0;
    double damper = 0.0;
    double feedback = 0.0;
  };

  struct Tap {
    bool rightHalf;
    std::size_t line;
    std::int32_t delay;
    double sign;
  };

  double RunHalf(Half& half, double input, double crossFeedback, double readOffset, double decay, double damping);
  double ReadTaps(const std::array<Tap, 7>& taps) const;

  PlateDiffusers diffusers_;
  Half left_;
  Half right_;
  std::array<Tap, 7> leftTaps_{};
  std::array<Tap, 7> rightTaps_{};
  double scale_ = 1.0;
  double phase_ = 0.0;
  double phaseStep_ = 0.0;
};

}  // namespace tarnwell::dsp
