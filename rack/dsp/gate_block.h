#pragma once

#include <cstdint>
#include <vector>

#include "rack/dsp/biquad.h"
#include "rack/dsp/block_contract.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/latency.h"

namespace tarnwell::dsp {

// Look-ahead noise gate whose threshold and timing follow the amount; the detector is linked across
// the channels and the audio is delayed by GateLookaheadSamples so the gate opens before an onset.
class GateBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Gate;

  // Sizes the look-ahead lines; may allocate, reuses capacity when the size is unchanged.
  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(ClampToUnit(control.amount)); }
  static std::int32_t LatencySamples(double sampleRate) { return GateLookaheadSamples(sampleRate); }
  void SetAmount(double target) { amountTarget_ = target; }
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();
  // Frees the lines; the gate then passes audio untouched until the next prepare.
  void Release();

  double Gain() const { return gain_; }

 private:
  void UpdateTimeCoefficients();

  double sampleRate_ = 48000.0;
  double amountTarget_ = 0.0;
  double amount_ = 0.0;
  double amountCoefficient_ = 0.999;
  std::int32_t lookahead_ = 48;
  Biquad sideChainLeft_;
  Biquad sideChainRight_;
  std::vector<double> lineLeft_;
  std::vector<double> lineRight_;
  std::int32_t writePosition_ = 0;
  double envelope_ = 0.0;
  std::int32_t holdCounter_ = 0;
  std::int32_t holdFrames_ = 240;
  double gain_ = 1.0;
  double attackCoefficient_ = 1.0;
  double releaseCoefficient_ = 1.0;
  // The amount the time coefficients were computed for; -1 forces the first computation.
  double coefficientAmount_ = -1.0;
};

}  // namespace tarnwell::dsp
