#pragma once

#include <array>
#include <cstdint>

#include "rack/dsp/biquad.h"
#include "rack/dsp/block_contract.h"
#include "rack/dsp/clamp_unit.h"

namespace tarnwell::dsp {

// A 3.5 kHz presence lift that backs off when that band is already loud, a 10 kHz air shelf, a 400 Hz
// dip and, at higher amounts, a gentle saturation. Each channel has its own detector.
class PresenceBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Presence;

  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(ClampToUnit(control.amount)); }
  void SetAmount(double target) { amountTarget_ = target; }
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();

 private:
  struct Channel {
    Biquad detector;
    Biquad dynamicPeak;
    Biquad airShelf;
    Biquad lowMidDip;
    double envelope = 0.0;
  };

  void DesignAmountFilters(double amount);
  // Up to kStereoChunkFrames frames.
  void ProcessChunk(double* left, double* right, std::int32_t frames);
  // Active frames whose shelf and dip keep one design, one stage at a time.
  void ProcessRun(double* left, double* right, const double* amounts, std::int32_t frames);

  double amountTarget_ = 0.0;
  double amount_ = 0.0;
  double amountCoefficient_ = 0.999;
  double attackCoefficient_ = 0.999;
  double releaseCoefficient_ = 0.999;
  std::array<Channel, 2> channels_;
  // The amount the shelf and dip were last designed for; -1 makes the first active frame design them.
  double designedAmount_ = -1.0;
  double liftCosine_ = 1.0;
  double liftAlpha_ = 0.0;
  // The shelf's and the dip's fixed frequencies at the prepared rate.
  DesignAngle airAngle_{1.0, 0.0};
  DesignAngle dipAngle_{1.0, 0.0};
};

}  // namespace tarnwell::dsp
