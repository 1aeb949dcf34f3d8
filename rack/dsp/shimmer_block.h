#pragma once

#include <array>
#include <cstdint>

#include "rack/dsp/block_contract.h"
#include "rack/dsp/ring_delay.h"
#include "rack/dsp/tuning_env.h"

namespace tarnwell::dsp {

// Developer tuning of the shimmer, from the TARNWELL_SHIM variables.
struct ShimmerTuning {
  // One-pole coefficient of the line damping.
  double damp = 0.22;
  // Gain of the feedback matrix output; above about 1.12 the loop grows without bound.
  double loopGain = 1.08;

  void Read(const TuningEnvironment& environment);
};

// Stereo reverb whose eight-line feedback network is fed, inside its loop, by an octave-up grain
// pitch shifter with randomly varied grain lengths, so the tail climbs in pitch. The amount sets
// decay time, grain length and wet level.
class ShimmerBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Shimmer;

  // Sizes every line (prepare-time only; may throw std::bad_alloc), restarts the random sequence
  // and clears all state.
  void Prepare(double sampleRate, const ShimmerTuning& tuning);
  // Takes the block's own tuning from the context.
  void Prepare(const BayPrepareContext& context);
  // SetAmount clamps the bay's amount itself.
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetAmount(control.amount); }
  // The random grain clock cannot be brought forward over a long silence in bounded time.
  static constexpr bool kSkipsSilence = false;
  void SetAmount(double amount);
  // Audio thread. Left and right may be the same buffer (mono). Passes audio unchanged before a prepare.
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();
  void Release();

 private:
  static constexpr std::size_t kLines = 8;

  void UpdateCoefficients(double amount);
  // Runs only while the amount moves: kept out of the frame loop, whose registers it would crowd.
  [[gnu::noinline, gnu::cold]] void SetOutputScale(double amount);
  double PitchShift();
  void AdvanceGrain();
  // Sets the window's cosine and sine for the countdown directly.
  void AnchorWindow();
  // Sets one frame's step of the window for the grain length.
  void SetWindowStep();

  std::array<RingDelay, kLines> lines_;
  std::array<RingDelay, 4> diffusers_;
  RingDelay pitchBuffer_;
  std::array<double, kLines> lineDamp_{};
  ShimmerTuning tuning_;
  std::array<double, kLines> lineGain_{};
  double wetGain_ = 1.0;
  double grainCountdown_ = 0.0;
  double grainLength_ = 1.0;
  double grainBase_ = 0.0;
  std::uint32_t randomState_ = 1;
  // cos and sin of the window phase 2 pi countdown / length, and of one frame's step of it.
  double windowCos_ = 1.0;
  double windowSin_ = 0.0;
  double stepCos_ = 1.0;
  double stepSin_ = 0.0;
  // The grain length the step is for; 0 before the first.
  double stepLength_ = 0.0;
  double smoothAmount_ = 0.0;
  double targetAmount_ = 0.0;
  double coefficientAmount_ = -1.0;
  double smoothCoef_ = 0.999;
  double sampleRate_ = 48000.0;
  // The output scale costs a sine; it is kept for the amount it was computed for.
  double outputAmount_ = -1.0;
  double outputScale_ = 0.0;
};

}  // namespace tarnwell::dsp
