#pragma once

#include <cstdint>
#include <vector>

#include "rack/dsp/block_contract.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/latency.h"

namespace tarnwell::dsp {

// A drive of up to 24 dB into a look-ahead limiter whose gain falls before a peak arrives, then a
// hard clip at the -0.3 dBFS ceiling for what the limiter's attack lets through. Linked channels.
class ClipBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Clip;

  // Sizes the look-ahead lines; may allocate, reuses capacity when the size is unchanged.
  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(ClampToUnit(control.amount)); }
  static std::int32_t LatencySamples(double sampleRate) { return ClipLookaheadSamples(sampleRate); }
  // Takes the amount clamped to 0..1; the drive grows as its power 1.5.
  void SetAmount(double amount);
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();
  // Frees the lines; the block then passes audio untouched until the next prepare.
  void Release();

  double DriveGain() const { return driveGain_; }

 private:
  // The amount the drive was computed for.
  double amount_ = 0.0;
  double driveDb_ = 0.0;
  double driveGain_ = 1.0;
  std::int32_t lookahead_ = 72;
  std::vector<double> lineLeft_;
  std::vector<double> lineRight_;
  std::int32_t writePosition_ = 0;
  double limiterGain_ = 1.0;
  double attackCoefficient_ = 0.9;
  double releaseCoefficient_ = 0.999;
};

}  // namespace tarnwell::dsp
