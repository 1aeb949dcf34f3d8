#pragma once

#include <array>
#include <cstdint>

#include "rack/dsp/biquad.h"
#include "rack/dsp/block_contract.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

// Cuts sibilance by subtracting two band-passed parts of the signal (5.4 and 8 kHz) while a
// high-passed detector on the mono sum is above a threshold that falls as the amount rises.
class DeEsserBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::DeEsser;

  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(ClampToUnit(control.amount)); }
  void SetAmount(double target) { amountTarget_ = target; }
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();

  // Gain of the band-passed part of the last processed frame, 1 when nothing is cut.
  double BandGain() const { return bandGain_; }

 private:
  // Frames whose amounts are all above the bypass, one stage at a time.
  void ProcessRun(double* left, double* right, std::int32_t frames,
                  const std::array<double, kStereoChunkFrames>& amounts);

  double amountTarget_ = 0.0;
  double amount_ = 0.0;
  double amountCoefficient_ = 0.999;
  Biquad detectorLow_;
  Biquad detectorHigh_;
  Biquad lowBandLeft_;
  Biquad highBandLeft_;
  Biquad lowBandRight_;
  Biquad highBandRight_;
  double envelope_ = 0.0;
  double risingCoefficient_ = 0.9;
  double fallingCoefficient_ = 0.999;
  double bandGain_ = 1.0;
};

}  // namespace tarnwell::dsp
