#pragma once

#include <array>
#include <cstdint>

#include "rack/dsp/block_contract.h"
#include "rack/dsp/held_db_gain.h"
#include "rack/dsp/latency.h"
#include "rack/dsp/stereo_biquad.h"
#include "rack/dsp/stereo_frames.h"
#include "rack/dsp/tuning_env.h"

namespace tarnwell::dsp {

// Developer tuning of the saturator, from the TARNWELL_SAT variables. The overrides count as set
// above kOverrideUnsetBelow; -999 means unset.
struct SaturatorTuning {
  static constexpr double kUnset = -999.0;
  static constexpr double kOverrideUnsetBelow = -900.0;

  // 1: envelope-normalised exponential shaper; any other value: the eight character curves.
  std::int32_t mode = 1;
  double driveDbOverride = kUnset;
  double scaleDbOverride = kUnset;
  double biasOverride = kUnset;
  double biasSlopeOverride = kUnset;

  // Each field changes only when its variable exists.
  void Read(const TuningEnvironment& environment);
};

// Stereo harmonic saturator: the non-linear stage runs at twice the rate, characters 0 and 2 split off
// a low or high band and saturate it on a parallel path, DC is removed, and the output is either
// scaled by the amount (mode 1) or matched to the input level (character modes). Fixed latency of
// kSaturatorLatencySamples as the host contract, whatever the filters' group delay.
class SaturatorBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Saturator;

  void Prepare(double sampleRate, const SaturatorTuning& tuning);
  // Takes the block's own tuning from the context.
  void Prepare(const BayPrepareContext& context);
  // Passes the bay's amount unclamped; Process clamps it.
  void Configure(const BayControl& control, double /*tempoBpm*/) {
    SetCharacter(control.character);
    SetAmount(control.amount);
  }
  static std::int32_t LatencySamples(double /*sampleRate*/) { return kSaturatorLatencySamples; }
  // Clamps to 0..7; a change starts a 10 ms crossfade from the character held before.
  void SetCharacter(std::int32_t character);
  // Unclamped; Process clamps it.
  void SetAmount(double amount) { amount_ = amount; }
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();

 private:
  struct BlockSettings;
  struct FrameWeights;
  struct CurveOffsets;
  struct Chunk;

  // Designs depend only on the rate, so they are redone only when it changed.
  void UpdateCoefficients();
  void UpdateFilters();
  // Shape and ShapeCharacters run for every oversampled frame: a call would save and restore the
  // registers their tanh uses each time (64-bit Windows has the callee keep xmm6-15).
  [[gnu::always_inline]] inline double Shape(std::int32_t character, double k, const FrameWeights& weights,
                                             const CurveOffsets& offsets) const;
  // What a character's curve takes that holds through a frame, taken once a frame.
  CurveOffsets OffsetsFor(std::int32_t character, const FrameWeights& weights) const;
  // A chunk runs one stage at a time over all its frames, in the order a single frame would.
  void ProcessChunk(double* left, double* right, std::int32_t frames, const BlockSettings& settings);
  void StepWeights(Chunk& chunk, const BlockSettings& settings);
  void FollowAndUpsample(Chunk& chunk, const BlockSettings& settings);
  void ShapeMainPath(Chunk& chunk, const BlockSettings& settings);
  void ShapeBandPath(Chunk& chunk);
  [[gnu::always_inline]] inline StereoFrame ShapeCharacters(StereoFrame k, const FrameWeights& weights,
                                                            const CurveOffsets& offsets,
                                                            const CurveOffsets& previousOffsets) const;
  void DownsampleAndMatch(Chunk& chunk, const BlockSettings& settings);

  std::int32_t character_ = 0;
  double amount_ = 0.0;
  // The engine keeps both neutral (no input high-pass, 0 dB trim); they remain as tuning points.
  double inputHighPassHz_ = 0.0;
  double outputTrimDb_ = 0.0;
  // The block's gains in dB arrive every block and rarely move.
  HeldDbGain driveGain_;
  HeldDbGain scaleGain_;
  HeldDbGain trimGain_;
  StereoBiquad postLowPass1_;
  StereoBiquad postLowPass2_;
  StereoBiquad inputHighPass_;
  std::array<StereoBiquad, 3> upsampler_;
  std::array<StereoBiquad, 3> downsampler_;
  std::array<StereoBiquad, 3> bandUpsampler_;
  std::array<StereoBiquad, 3> bandDownsampler_;
  StereoSample dcState_{};
  double sampleRate_ = 48000.0;
  // Shared by both channels: each channel updates them in turn.
  double inputPower_ = 0.0;
  double outputPower_ = 0.0;
  double levelCoef_ = 0.999;
  double smoothAmount_ = 0.0;
  double smoothDrive_ = 1.0;
  double smoothCoef_ = 0.999;
  double envelope_ = 0.0;
  double powerCoef_ = 0.999;
  std::array<StereoBiquad, 2> crossover_;
  // 0 low split, 1 none, 2 high split; -1 forces the next design.
  std::int32_t splitMode_ = -1;
  double splitFade_ = 1.0;
  double splitFadeStep_ = 1.0;
  double bandPower_ = 0.0;
  double mainPower_ = 0.0;
  SaturatorTuning tuning_;
  std::int32_t previousCharacter_ = 0;
  double characterFade_ = 1.0;
  double characterFadeStep_ = 1.0;
  double designedRate_ = 0.0;
  double designedHighPassHz_ = -1.0;
};

}  // namespace tarnwell::dsp
