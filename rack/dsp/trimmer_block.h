#pragma once

#include <cstdint>

#include "rack/dsp/block_contract.h"

namespace tarnwell::dsp {

// A plus or minus 24 dB gain. A new gain is reached by a geometric ramp across one block, so a move
// never clicks and the block ends exactly at the target.
class TrimmerBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Trimmer;

  // The trimmer's gain steps do not depend on the rate.
  void Prepare(const BayPrepareContext& /*context*/) {}
  // Follows the bay's amount beyond 0..1; SetAmount holds it to a usable range.
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(control.amount); }
  // Takes the unclamped amount: 0.5 is 0 dB, 0 is -24 dB, 1 is +24 dB.
  void SetAmount(double amount);
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  // Jumps to the target without a ramp.
  void Reset();

  double Gain() const { return gain_; }

 private:
  double targetDb_ = 0.0;
  double targetGain_ = 1.0;
  double gain_ = 1.0;
  double ratio_ = 1.0;
};

}  // namespace tarnwell::dsp
