#pragma once

#include <cstdint>

#include "rack/dsp/block_contract.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/stereo_biquad.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

// Gentle bus-style leveller: a linked detector and leveller, tone shelves, a soft clip, loudness
// matching back to the input power and a 1 Hz DC blocker.
class GlueBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Glue;

  GlueBlock();

  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(ClampToUnit(control.amount)); }
  void SetAmount(double target) { amountTarget_ = target; }
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();

  double MatchGain() const { return matchGain_; }

 private:
  // The shelves step at block boundaries; their gain follows the amount target, not the smoothed amount.
  void DesignShelves();
  template <bool Gliding>
  void ProcessChunk(double* left, double* right, std::int32_t frames);
  // tanh(o x) / tanh(o) on both channels, o = 1 + 0.4 x the amount. Runs every frame: a call would
  // save and restore the registers its tanh uses each time (six of them on 64-bit Windows).
  [[gnu::always_inline]] inline void SoftClip(StereoFrame& frame, double amount);

  double sampleRate_ = 48000.0;
  double amountTarget_ = 0.0;
  double amount_ = 0.0;
  double amountCoefficient_ = 0.0;
  double detectorAttackCoefficient_ = 0.0;
  double detectorReleaseCoefficient_ = 0.0;
  double matchRiseCoefficient_ = 0.0;
  double matchFallCoefficient_ = 0.0;
  double dcCoefficient_ = 0.0;
  // One design per shelf for both channels.
  StereoBiquad highShelf_;
  StereoBiquad lowShelf_;
  // Starts at 1 after a reset, so the output dips briefly after a prepare or a type change.
  double detectorLevel_ = 1.0;
  double levellerGain_ = 1.0;
  double inputPower_ = 0.0;
  double outputPower_ = 0.0;
  double matchGain_ = 1.0;
  // 1 / tanh of the soft clip's drive, kept for the drive it was taken at (0: none yet).
  double ceilingDrive_ = 0.0;
  double inverseCeiling_ = 1.0;
  double dcStateLeft_ = 0.0;
  double dcStateRight_ = 0.0;
  double shelfAmount_ = -1.0;
  double powerCoefficient_ = 0.0;
};

}  // namespace tarnwell::dsp
