#pragma once

#include <cstdint>

#include "rack/dsp/biquad.h"
#include "rack/dsp/block_contract.h"
#include "rack/dsp/stereo_biquad.h"

namespace tarnwell::dsp {

// Tape-style colour: low-shelf lift, a linked soft-knee compressor feeding an asymmetric tanh
// saturator, a low-pass whose corner falls with the amount, a presence peak and a 5 Hz DC blocker.
// One amount drives every setting; it has no tuning variables.
class TapeBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Tape;

  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  // SetAmount clamps the bay's amount itself.
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(control.amount); }
  // Stores the bay's amount (unclamped) and designs the filters for it clamped to 0..1.
  void SetAmount(double amount);
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();
  // Moves the redesign clock on as Process would over `frames` frames at a settled amount, for a
  // bay that skipped them.
  void SkipFrames(std::int64_t frames);

 private:
  // Sets every coefficient for an amount in 0..1.
  void Design(double x);
  // Frames that share one design, one stage at a time.
  void ProcessRun(double* left, double* right, std::int32_t frames);

  double amount_ = 0.0;
  StereoBiquad lowShelf_;
  StereoBiquad lowPass_;
  StereoBiquad presence_;
  StereoSample dcState_{};
  double envelope_ = 0.0;
  double smoothAmount_ = 0.0;
  double sampleRate_ = 48000.0;
  // The fixed frequencies' angles at this rate, and the amount the filters were designed for (NaN
  // after a prepare).
  DesignAngle lowShelfAngle_{1.0, 0.0};
  DesignAngle presenceAngle_{1.0, 0.0};
  double designedAmount_ = 0.0;
  double dcCoef_ = 0.0;
  double smoothCoef_ = 0.999;
  double attackCoef_ = 0.999;
  double releaseCoef_ = 0.9999;
  double thresholdDb_ = -6.0;
  double slope_ = 0.0;
  double makeupGain_ = 1.0;
  // Below this level (envelope plus floor) the gain is the makeup gain.
  double belowKneeLevel_ = 0.0;
  double saturationMix_ = 0.0;
  double drive_ = 1.0;
  // Unsigned so that hours of processing wrap instead of overflowing; only its low bits matter.
  std::uint32_t sampleCounter_ = 0;
};

}  // namespace tarnwell::dsp
