#pragma once

#include <cstdint>

#include "rack/dsp/biquad.h"
#include "rack/dsp/block_contract.h"
#include "rack/dsp/clamp_unit.h"

namespace tarnwell::dsp {

// Stereo width in two modes: the side-band mode widens the side signal above 214 Hz against the mid
// level; the high-band mode widens what lies above 120 Hz and makes the lows mono. Both end in a
// 1 Hz DC blocker.
class WidthBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Width;

  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  void Configure(const BayControl& control, double /*tempoBpm*/) {
    SetAmount(ClampToUnit(control.amount));
    SetCharacter(control.character);
  }
  void SetAmount(double target) { amountTarget_ = target; }
  // Character 0 selects the side-band mode, every other character the high-band mode.
  void SetCharacter(std::int32_t character) { sideBandMode_ = character == 0; }
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();

 private:
  void ProcessSideBand(double* left, double* right, std::int32_t frames);
  void ProcessHighBand(double* left, double* right, std::int32_t frames);

  double amountTarget_ = 0.0;
  double amount_ = 0.0;
  double amountCoefficient_ = 0.999;
  double powerCoefficient_ = 0.999;
  Biquad lowPassLeft_;
  Biquad lowPassRight_;
  Biquad sideHighPass_;
  double midPower_ = 0.0;
  double sidePower_ = 0.0;
  double widthGain_ = 1.0;
  double dcCoefficient_ = 0.0;
  double dcStateLeft_ = 0.0;
  double dcStateRight_ = 0.0;
  bool sideBandMode_ = true;
};

}  // namespace tarnwell::dsp
