#pragma once

#include <array>
#include <cstdint>

#include "rack/dsp/block_contract.h"
#include "rack/dsp/stereo_biquad.h"
#include "rack/dsp/tuning_env.h"

namespace tarnwell::dsp {

// Developer tuning of the Air block, from the TARNWELL_AIR variables.
struct AirTuning {
  // Oversampling factor of the exciter; back to 2 at every read that finds no variable.
  std::int32_t oversampling = 2;
  double driveMax = 30.0;
  double outputMix = 0.22;
  double driveExponent = 0.5;
  double topHz = 17000.0;
  double bias = 0.35;
  // Above 0 it replaces the exciter's high-pass corner, for good.
  double inputHighPassHz = 0.0;
  // -1 until set; 1 crossover soft clip, 2 high shelf, anything else the exciter.
  std::int32_t modeOverride = -1;
  double crossoverHz = 1600.0;
  // 0 or less: the crossover mode's high band follows the amount table.
  double crossoverGainOverride = 0.0;
  std::int32_t bessel = 0;
  double shelfDb = 15.0;
  double shelfHz = 40000.0;

  void Read(const TuningEnvironment& environment);
};

// High-frequency exciter. Mode 0 isolates the upper mids, drives them through an oversampled biased
// tanh, keeps only the new harmonics above 9.5 kHz under a top low-pass and adds a share to the dry
// signal. The tuning modes 1 (crossover soft clip) and 2 (first-order high shelf) replace it.
class AirBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Air;

  void Prepare(double sampleRate, const AirTuning& tuning);
  // Takes the block's own tuning from the context.
  void Prepare(const BayPrepareContext& context);
  // SetAmount clamps the bay's amount itself.
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(control.amount); }
  // Once per block: takes the tuned mode and input corner, and snaps to the amount clamped to 0..1.
  void SetAmount(double amount);
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();

 private:
  struct Oversampler {
    std::int32_t factor = 2;
    double factorGain = 2.0;
    std::array<StereoBiquad, 4> up;
    std::array<StereoBiquad, 4> down;
  };

  // The corners that only the rate and the tuning set.
  void DesignFixedFilters();
  void DesignOversamplingFilters(double cutoffHz, std::int32_t factor);
  void UpdateCoefficients();
  // Glides the amount one frame; the coefficients follow a glide of more than a hair.
  void StepAmount();
  // The exciter over at most kStereoChunkFrames frames, one stage at a time.
  void ProcessExciterChunk(double* left, double* right, std::int32_t frames, double biasTanh);
  // The crossover and shelf modes, frame by frame.
  StereoSample ProcessTuningModeFrame(const StereoSample& x);

  double exciterHighPassHz_ = 3000.0;
  double bandLowPassHz_ = 6800.0;
  AirTuning tuning_;
  double sampleRate_ = 48000.0;
  double drive_ = 0.0;
  double targetAmount_ = 0.0;
  double smoothAmount_ = 0.0;
  // The amount the coefficients were last computed for inside Process; -1 forces the first.
  double coefficientAmount_ = -1.0;
  double smoothCoef_ = 0.9985;
  std::array<StereoBiquad, 2> exciterHighPass_;
  StereoBiquad bandLowPass_;
  std::array<StereoBiquad, 4> harmonicHighPass_;
  std::array<StereoBiquad, 2> topLowPass_;
  Oversampler oversampler_;
  std::int32_t mode_ = 0;
  double clipKnee_ = 0.0;
  double crossoverGain_ = 1.0;
  std::array<StereoBiquad, 2> crossoverHighPass_;
  std::array<StereoBiquad, 2> crossoverLowPass_;
  StereoBiquad shelf_;
  double shelfWarpHz_ = 16000.0;
  // The shelf's bilinear constant for shelfWarpHz_ at this rate.
  double shelfWarpScale_ = 0.0;
  double designedExciterHz_ = -1.0;
  // The amount the drive, clip, crossover and shelf settings were last computed for; NaN forces it.
  double designedAmount_ = 0.0;
};

}  // namespace tarnwell::dsp
