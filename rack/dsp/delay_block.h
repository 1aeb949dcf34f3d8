#pragma once

#include <cstdint>
#include <vector>

#include "rack/dsp/biquad.h"
#include "rack/dsp/block_contract.h"

namespace tarnwell::dsp {

// Tempo-synced stereo echo. Each channel feeds back into itself through two low-pass tone stages;
// the right channel reads a little further back than the left, up to 20 ms with the amount, and the
// wet signal, freed of its lowest frequencies, is added to the dry in proportion to the amount.
//
// A bay switched off, or a Delay at amount 0, keeps its lines as they are: switched on again, it
// replays what it held until the echoes have run out.
class DelayBlock : public BlockDefaults {
 public:
  static constexpr EffectType kType = EffectType::Delay;

  // Sizes the lines for the longest delay; may allocate, reuses capacity when the size is unchanged.
  void Prepare(double sampleRate, std::int32_t maxDelaySamples);
  void Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate, context.maxDelaySamples); }
  void Configure(const BayControl& control, double tempoBpm) { Configure(tempoBpm, control.character, control.amount); }
  // Once per audio block, before Process. The character picks the note length; the amount is the
  // bay's unclamped amount. Changes take effect at the block boundary.
  void Configure(double tempoBpm, std::int32_t character, double amount);
  // Audio thread. Left and right may be the same buffer (mono).
  void Process(double* left, double* right, std::int32_t frames);
  void Reset();
  // Frees the lines; the block then passes audio untouched until the next prepare.
  void Release();

 private:
  struct ConfiguredSettings {
    double tempoBpm = 0.0;
    std::int32_t character = 0;
    double amount = 0.0;
    // False until a configuration after the last prepare.
    bool valid = false;

    bool operator==(const ConfiguredSettings&) const = default;
  };

  ConfiguredSettings configured_;
  std::vector<double> lineLeft_;
  std::vector<double> lineRight_;
  std::int32_t writePosition_ = 0;
  std::int32_t lineLength_ = 0;
  Biquad toneLeft_;
  Biquad toneRight_;
  Biquad toneLeftSecond_;
  Biquad toneRightSecond_;
  double lowStateLeft_ = 0.0;
  double lowStateRight_ = 0.0;
  double sampleRate_ = 48000.0;
  std::int32_t leftDelay_ = 1;
  // The right tap's distance behind the write position: the delay plus the spread, never past the
  // oldest sample in the line.
  std::int32_t rightDelay_ = 1;
  double feedback_ = 0.0;
  double mixTarget_ = 0.0;
  double mix_ = 0.0;
  double mixCoefficient_ = 0.999;
  double lowCoefficient_ = 0.0007;
};

}  // namespace tarnwell::dsp
