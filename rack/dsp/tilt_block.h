#pragma once

#include <cstdint>

#include "rack/dsp/biquad.h"
#include "rack/dsp/block_contract.h"

namespace tarnwell::dsp {

// Tilt equaliser around 700 Hz: a low shelf and a high shelf with opposite gains, up to 3 dB each at
// the ends of the amount range and flat at 0.5.
class TiltBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Tilt;

  // Designs the shelves at the tilt the block holds.
  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  // Follows the bay's amount beyond 0..1; SetAmount holds it to a usable range.
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(control.amount); }
  // Takes the unclamped amount; a new tilt designs the shelves again at once, keeping their state.
  void SetAmount(double amount);
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();

 private:
  void DesignShelves();

  double tiltDb_ = 0.0;
  // The shelves' frequency at the prepared rate.
  DesignAngle shelfAngle_{1.0, 0.0};
  Biquad lowShelfLeft_;
  Biquad highShelfLeft_;
  Biquad lowShelfRight_;
  Biquad highShelfRight_;
};

}  // namespace tarnwell::dsp
