#pragma once

#include <cstdint>

#include "rack/dsp/block_contract.h"
#include "rack/dsp/effect_blocks.h"
#include "rack/dsp/engine_settings.h"

namespace tarnwell::dsp {

// One audio block as the engine hands it to each bay. In mono, right is the same buffer as left.
struct BayBlock {
  double* left;
  double* right;
  std::int32_t frames;
  double tempoBpm;
};

// Holds the state of every effect block at once, so that changing a bay's effect type never
// allocates: it only resets.
class RackBay {
 public:
  // May throw std::bad_alloc while sizing delay lines.
  void Prepare(const BayPrepareContext& context);
  void Reset();
  // Resets only the block of this type: a type change enters it, and every block is reset when it is
  // entered, so the others keep their lines instead of clearing megabytes on the audio thread.
  void ResetBlock(std::int32_t type);
  // Audio thread: hands the bay's settings to the block of its type and runs it in place.
  void Process(const BayControl& control, const BayBlock& block);
  // Frees every delay line; blocks without their lines pass audio unchanged until the next prepare.
  void Release() noexcept;

  // Latency the block of this type adds at this rate; 0 for types that do not delay audio.
  static std::int32_t LatencySamples(std::int32_t type, double sampleRate);

  // On by default; tests switch it off to compare against the full computation.
  void SetSilenceSkip(bool on) { silenceSkip_ = on; }
  // True while the bay outputs zeros without running its block.
  bool Idle() const { return idle_; }

 private:
  void RunBlock(const BayControl& control, const BayBlock& block);
  void ForgetQuiet();

  // Silence skip: after the input has been exactly zero and the output below kQuietLevel for
  // settleFrames_ in a row under unchanged settings, every tail has died and every smoother has
  // come to rest, so the bay passes the zeros through until its input or its settings change.
  bool silenceSkip_ = true;
  bool idle_ = false;
  std::int64_t quietFrames_ = 0;
  std::int64_t settleFrames_ = 0;
  std::int64_t skippedFrames_ = 0;
  BayControl quietControl_{};
  double quietTempo_ = 0.0;

  EffectBlocks blocks_;
};

}  // namespace tarnwell::dsp
