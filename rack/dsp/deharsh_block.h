#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "rack/dsp/biquad.h"
#include "rack/dsp/block_contract.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/jump_start_amount.h"
#include "rack/dsp/latency.h"
#include "rack/dsp/loudness_match.h"
#include "rack/dsp/stereo_biquad.h"

namespace tarnwell::dsp {

// Dynamic cuts at 2.5, 3.5, 5 and 7 kHz where those bands stand out above a reference drawn from
// 500 Hz and 12 kHz, with a look-ahead so the cut is in place before a harsh onset, a dry/wet mix by
// the amount and a loudness match. The detectors hear the mono sum.
class DeHarshBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::DeHarsh;

  static constexpr int kCutBands = 4;

  DeHarshBlock();

  // Sizes the look-ahead lines; may allocate, reuses capacity when the size is unchanged.
  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(ClampToUnit(control.amount)); }
  static std::int32_t LatencySamples(double sampleRate) { return DeHarshLookaheadSamples(sampleRate); }
  // The first target after a prepare is taken at once (see JumpStartAmount).
  void SetAmount(double target) { amount_.SetTarget(target); }
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  // Clears the running state; the amount stays where it was.
  void Reset();
  // Frees the lines; the block then passes audio untouched until the next prepare.
  void Release();

  // Linear gain of each cut band after smoothing.
  double SmoothedGain(int band) const { return smoothedGains_[static_cast<std::size_t>(band)]; }

 private:
  struct Chunk;

  // Up to kStereoChunkFrames frames, one stage at a time.
  void ProcessChunk(double* left, double* right, std::int32_t frames);
  void FindGains(Chunk& chunk) const;
  void SmoothGains(Chunk& chunk);
  void DesignPeaks(Chunk& chunk);

  std::array<Biquad, kCutBands> bandPasses_;
  Biquad lowReferencePass_;
  Biquad highReferencePass_;
  std::array<StereoBiquad, kCutBands> peaks_;
  std::array<double, kCutBands> bandEnvelopes_{};
  double lowReferenceEnvelope_ = 0.0;
  double highReferenceEnvelope_ = 0.0;
  std::array<double, kCutBands> smoothedGains_{};
  // The smoothed gain each peak was last designed for; a gain that holds keeps its design. -1 (no
  // gain is negative) forces the next.
  std::array<double, kCutBands> designedGains_{};
  JumpStartAmount amount_;
  LoudnessMatch match_;
  std::vector<double> lineLeft_;
  std::vector<double> lineRight_;
  std::int32_t writePosition_ = 0;
  double amountCoefficient_ = 0.999;
  double bandRisingCoefficient_ = 0.999;
  double bandFallingCoefficient_ = 0.999;
  double referenceRisingCoefficient_ = 0.999;
  double referenceFallingCoefficient_ = 0.999;
  double gainCoefficient_ = 0.999;
  std::array<double, kCutBands> peakSine_{};
  std::array<double, kCutBands> peakCosine_{};
};

}  // namespace tarnwell::dsp
