#pragma once

#include <array>
#include <cstdint>

#include "rack/dsp/block_contract.h"
#include "rack/dsp/figure_eight_tank.h"
#include "rack/dsp/frame_sines.h"
#include "rack/dsp/plate_lines.h"
#include "rack/dsp/ring_delay.h"
#include "rack/dsp/stereo_biquad.h"
#include "rack/dsp/stereo_frames.h"
#include "rack/dsp/tuning_env.h"

namespace tarnwell::dsp {

// Whether this processor runs the plate's four-lane loops (AVX2, with fused multiply-adds).
bool PlateWideVectorsAvailable();

// Developer tuning of the plate, from the TARNWELL_PLATE variables.
struct PlateTuning {
  double wetGain = 1.4;
  double reflectionFeedback = 0.4;
  double reflectionOut = 0.4;
  double feedbackBase = 0.875;
  double combModDepth = 1.0;
  double dampBase = 0.15;
  double dampSlope = 0.05;
  // 1.5 or more selects the figure-eight tank.
  double tankMode = 1.0;
  double tankDecayBase = 0.45;
  // Zeroed, for good, by setting the decay base.
  double tankDecaySlope = 0.38;
  double tankDamp = 0.45;
  double tankModDepth = 8.0;
  double chainAmount = 1.0;
  double chainCoef = 1.0;
  double tankToWet = 1.0;
  double chainLoop = 0.0;
  double dcHz = 20.0;
  // 1 Hz or less switches the output high-pass off.
  double highPassHz = 60.0;
  double tankMod = 1.0;
  double tankModInteger = 1.0;
  double reflectionDiffusion = 1.0;
  // Not a variable: the four-lane loops where the processor has AVX2 and FMA; tests turn it off to run the
  // two-lane loops every x86-64 processor has.
  bool wideVectors = PlateWideVectorsAvailable();

  // Also sets the process-wide comb rounding when TARNWELL_PLATE_COMBMODINT exists.
  void Read(const TuningEnvironment& environment);
};

// Above 0.5 every plate of the process rounds its comb delays to whole samples. Shared by all
// instances, so it is atomic: one instance's prepare may run while another processes.
double PlateCombRounding();
void SetPlateCombRounding(double value);

// Stereo plate reverb added on top of the dry signal: input low-pass, pre-delay with six early
// reflections per side, eight modulated damped combs per side, shared input diffusers, a small
// cross-coupled tank (or the figure-eight tank), a shared allpass chain, diffused reflections, an
// output high-pass and a DC blocker. The amount sets size, decay and wet level.
class PlateBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Plate;

  // Sizes every line (prepare-time only; may throw std::bad_alloc) and clears all state.
  void Prepare(double sampleRate, const PlateTuning& tuning);
  // Takes the block's own tuning from the context.
  void Prepare(const BayPrepareContext& context);
  // The bay's amount is the plate's size; SetSize clamps it.
  void Configure(const BayControl& control, double /*tempoBpm*/) { SetSize(control.amount); }
  // Once per block, with the bay's amount; clamps it to 0..1 and applies it at once.
  void SetSize(double amount);
  // Audio thread. Left and right may be the same buffer (mono). Passes audio unchanged before a prepare.
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();
  void Release();
  // Moves the LFOs on as if `frames` frames had been processed, for a bay that skipped them.
  void SkipFrames(std::int64_t frames);

 private:
  static constexpr std::size_t kCombsPerSide = 8;
  static constexpr std::size_t kCombs = 2 * kCombsPerSide;
  static constexpr std::size_t kTaps = 6;

  // One half of the small tank: modulated allpass, decay delay (the half's tap), allpass. Both halves
  // run at once, one per lane; each half's output goes to the other half the next frame.
  struct TankHalf {
    TankLine allpass;
    TankLine decay;
    TankLine diffuser;
    std::int32_t baseDelay = 1;
    std::int32_t excursion = 2;
    double output = 0.0;
  };

  // Frames a chunk holds at most: a block of 128 frames runs as one, which shares each stage's
  // set-up among more frames than the rack's chunks of 64 (the combs allow up to ~1200).
  static constexpr std::int32_t kChunkFrames = 128;
  // Frames beyond a chunk that its four-lane loops may touch.
  static constexpr std::size_t kLaneSlack = 4;
  // Each comb LFO's value at every frame of a chunk, with room for W-lane loops to run past it.
  using OscillatorRuns = std::array<std::array<double, kChunkFrames + kLaneSlack>, kCombsPerSide>;
  // For every frame of a chunk, left comb k and right comb k side by side for each k: frame f's
  // values at 2 kCombsPerSide f.
  using CombPairs = std::array<double, kCombs*(kChunkFrames + kLaneSlack)>;
  // Every frame of a chunk, each comb's on its own (the combs in their bank's order, left side first).
  using CombRuns = std::array<std::array<double, kChunkFrames>, kCombs>;
  // A chunk's two channels interleaved, left first: the order in which shared lines take them.
  using InterleavedChunk = std::array<double, 2 * kChunkFrames>;
  // The arrays a chunk works in, each at a cache line's start, and the stack buffer that holds them.
  struct ChunkArrays;
  struct ChunkBuffer;

  // The most frames a chunk may hold so that no comb read of it reaches a frame pushed within it,
  // and no reflection tap a frame pushed after its own.
  std::int32_t ChunkFrames() const;
  // Whether every comb read stays inside both combs of its pair without clamping, so that the pair
  // can share its reads' fraction (set with the size).
  bool PairedReadsFit() const;
  // The chunk, with loops of four lanes (AVX2, multiplies and adds fused) or of two.
  void ProcessChunkWide(double* left, double* right, std::int32_t frames);
  void ProcessChunkNarrow(double* left, double* right, std::int32_t frames);
  template <int W>
  [[gnu::always_inline]] void RunChunk(ChunkArrays& arrays, double* left, double* right, std::int32_t frames);
  // The input low-pass, never inlined into the loops that fuse multiplies and adds: a fused
  // multiply-add lengthens its recurrence from one frame to the next.
  [[gnu::noinline]] void FilterInput(const StereoFrame* dry, StereoFrame* filtered, std::int32_t frames);
  // Pushes the chunk into the pre-delay and writes each frame's early reflections.
  template <int W>
  [[gnu::always_inline]] void ReflectChunk(ChunkArrays& arrays, std::int32_t frames);
  // Each comb's damped output for every frame of the chunk, and the means of each side's.
  // With `inputs`, also writes the combs' new samples (feedback x damped + input) as it goes.
  template <int W>
  [[gnu::always_inline]] void ReadCombs(std::int32_t frames, const OscillatorRuns& lfo, CombPairs& damped,
                                        InterleavedChunk& means, const InterleavedChunk* inputs,
                                        std::array<double, kChunkFrames + kLaneSlack>& delays);
  void ReadCombsClamped(std::int32_t frames, const OscillatorRuns& lfo, CombPairs& reads);
  template <int W>
  [[gnu::always_inline]] void PushCombs(std::int32_t frames, const CombPairs& damped, const InterleavedChunk& inputs);
  // The tank, frame by frame, and the wet signal's mix into the output: its recurrences hide those
  // of the output filters. `echoes` is the allpass chain's output, when it runs.
  [[gnu::always_inline]] void MixChunk(ChunkArrays& arrays, const InterleavedChunk& tankInputs, bool chain,
                                       std::int32_t frames, double* left, double* right);
  template <bool WholeReads>
  [[gnu::always_inline]] void MixChunkWith(ChunkArrays& arrays, const InterleavedChunk& tankInputs, bool chain,
                                           std::int32_t frames, double* left, double* right);

  PlateTuning tuning_;
  double sampleRate_ = 48000.0;
  bool roundCombDelays_ = false;
  StereoBiquad inputLowPass_;
  StereoBiquad outputHighPass_;
  double highPassQ_ = 0.707;
  StereoSample dcState_{};
  double dcCoef_ = 0.0013;

  std::array<PreDelayLine, 2> preDelay_;
  // The right side reads its taps only where the left side's tap has some delay.
  std::size_t rightTaps_ = 0;
  std::array<std::int32_t, kTaps> leftTapDelays_{};
  std::array<std::int32_t, kTaps> rightTapDelays_{};
  std::array<double, kTaps> rightTapGains_{};

  // Combs, left side first; structure of arrays so the filter updates vectorise.
  CombBank<kCombs> combLines_;
  std::array<double, kCombs> combBaseDelay_{};
  // Comb n of the left side and comb n of the right run at the same rate from the same phase, so
  // one LFO serves both.
  std::array<double, kCombsPerSide> combPhaseStep_{};
  FrameSines<kCombsPerSide> combSines_;
  // Lanes hold left comb k and right comb k.
  std::array<StereoFrame, kCombsPerSide> combLowPass_{};
  std::array<StereoFrame, kCombsPerSide> combSmooth_{};
  // How many whole samples further back right comb k reads than left comb k.
  std::array<std::int32_t, kCombsPerSide> pairOffsets_{};
  bool pairedReads_ = false;
  bool wide_ = false;
  double combDepth_ = 0.0;
  double combFeedback_ = 0.7;
  double combDamping_ = 0.45;

  PlateDiffusers inputDiffusers_;
  std::array<TankHalf, 2> tank_;
  // The two halves' LFOs.
  FrameSines<2> tankSines_;
  double smallTankDecay_ = 0.74;
  FigureEightTank figureEight_;
  double figureEightDecay_ = 0.45;
  std::array<RingDelay, 8> chain_;
  std::array<double, 8> chainGains_{};
  double chainFeedback_ = 0.0;
  PlateDiffusers reflectionDiffusers_;

  double sizeAmount_ = 0.0;
  // The amount the size-dependent settings were made for; -1 forces the next.
  double designedSize_ = -1.0;
};

}  // namespace tarnwell::dsp
