#pragma once

#include <array>
#include <cstdint>

#include "rack/dsp/biquad.h"
#include "rack/dsp/block_contract.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/jump_start_amount.h"
#include "rack/dsp/loudness_match.h"
#include "rack/dsp/stereo_biquad.h"

namespace tarnwell::dsp {

// Dynamic cuts at 200, 280 and 360 Hz where those bands stand out above a reference drawn between
// 110 Hz and 1300 Hz, then a loudness match back to the input. The detectors hear the mono sum.
class DeMudBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::DeMud;

  static constexpr int kCutBands = 3;

  DeMudBlock();

  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(ClampToUnit(control.amount)); }
  // The first target after a prepare is taken at once (see JumpStartAmount).
  void SetAmount(double target) { amount_.SetTarget(target); }
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  // Clears the running state; the amount stays where it was.
  void Reset();

  double SmoothedCutDb(int band) const { return cutDb_[static_cast<std::size_t>(band)]; }
  double MatchGain() const { return match_.Gain(); }

 private:
  // Band-passes of the detector: the three cut bands first, then the two reference bands.
  static constexpr int kDetectorBands = kCutBands + 2;

  // Scratch of one chunk of frames, on the audio thread's stack.
  struct Chunk;

  // At most kStereoChunkFrames frames, one stage at a time over the frames the amount lets through.
  void ProcessChunk(double* left, double* right, std::int32_t frames);
  void RunDetectors(Chunk& chunk);
  void FindTargetCuts(Chunk& chunk) const;
  void SmoothCuts(Chunk& chunk);
  void DesignPeaks(Chunk& chunk);
  void RunPeaks(Chunk& chunk);

  std::array<Biquad, kDetectorBands> detectors_;
  Biquad inputHighPass_;
  Biquad outputHighPass_;
  std::array<StereoBiquad, kCutBands> peaks_;
  std::array<double, kDetectorBands> envelopes_{};
  std::array<double, kCutBands> cutDb_{};
  // The cut each peak was last designed for; a cut that holds keeps its design. NaN forces the next.
  std::array<double, kCutBands> designedCutDb_{};
  JumpStartAmount amount_;
  LoudnessMatch match_;
  double amountCoefficient_ = 0.999;
  double risingCoefficient_ = 0.999;
  double fallingCoefficient_ = 0.999;
  double cutCoefficient_ = 0.999;
  std::array<double, kCutBands> peakAlpha_{};
  std::array<double, kCutBands> peakCosine_{};
};

}  // namespace tarnwell::dsp
