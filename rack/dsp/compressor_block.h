#pragma once

#include <cstdint>

#include "rack/dsp/biquad.h"
#include "rack/dsp/block_contract.h"
#include "rack/dsp/clamp_unit.h"

namespace tarnwell::dsp {

// Vocal compressor with four characters (ratio, knee, timing, side-chain high-pass, saturation) and an
// automatic make-up that cancels the slowly averaged gain change and adds 1 dB, so only level changes
// are shaped. The amount is smoothed once per block, so the output depends on the block size.
class CompressorBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Compressor;

  void Prepare(double sampleRate);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate); }
  void Configure(const BayControl& control, double /*tempoBpm*/) {
    SetAmount(ClampToUnit(control.amount));
    SetCharacter(control.character);
  }
  // Out-of-range characters are kept as given and clamped where they are used.
  void SetCharacter(std::int32_t character);
  void SetAmount(double target) { amountTarget_ = target; }
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();

 private:
  // What the smoothed amount and the character set; made again only when either moves.
  struct Shape {
    double amount = -1.0;
    int character = -1;
    double thresholdDb = 0.0;
    double inverseRatio = 1.0;
    double halfKneeDb = 0.0;
    // (1/m - 1) / (2 l): the knee's quadratic, in the gain change it gives per dB squared.
    double kneeCurve = 0.0;
    // The envelope at or below which the gain change is 0 (the knee's foot, as a level), and the
    // level at or below which nothing is over the threshold: both tests skip a logarithm.
    double kneeFootLevel = 0.0;
    double thresholdLevel = 0.0;
    double drive = 0.0;
    bool saturate = false;
  };

  void UpdateShape(int character);
  template <int Character>
  void ProcessFrames(double* left, double* right, std::int32_t frames);
  void DesignSideChainHighPass();

  double sampleRate_ = 48000.0;
  std::int32_t character_ = 0;
  double amountTarget_ = 0.0;
  double amount_ = 0.0;
  double amountCoefficient_ = 0.999;
  // amountCoefficient_ to the power of the block's frames, for the block size it was taken at.
  std::int32_t amountStepFrames_ = 0;
  double amountStep_ = 1.0;
  double gainCoefficient_ = 0.9999;
  double slowMakeupCoefficient_ = 0.9999;
  double fastMakeupCoefficient_ = 0.9999;
  Biquad sideChainHighPass_;
  Biquad sideChainLowPass_;
  double envelope_ = 0.0;
  // Before shaping: it sets the next frame's release time.
  double lastGainChangeDb_ = 0.0;
  double smoothedGain_ = 1.0;
  double smoothedMakeupDb_ = 0.0;
  bool amountMoving_ = false;
  Shape shape_;
};

}  // namespace tarnwell::dsp
